# The front door: `make run` builds the programs and converts the bundled
# recording, `make check` runs the test suites, `make test` the whole gate,
# `make bench` measures, `make windows` builds the 32-bit Windows programs,
# `make dist-windows` their installer and portable zip, `make test-windows`
# runs the test suites on them and tests the installer under Wine, `make deb`
# builds the Debian package and `make test-deb` tests it in a fresh chroot.
# Each one first installs whatever Debian packages it is missing
# (scripts/bootstrap, scripts/setup-windows-machine), so a new machine needs
# nothing else, and pays only for what it runs.
#
# Each build variant is declared once, in CMakePresets.json (dev, asan, fuzz,
# bench, windows; `cmake --list-presets`); the rules here and the scripts
# configure through those presets.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
DEB_BUILD ?= build-deb
JOBS ?= $(shell nproc)
PROGRAMS = ondavo ondavo-cli vek-codec Vek
# The window's tests need a display. -noreset: Xvfb otherwise starts over
# whenever its last client leaves, and a test that connects meanwhile finds
# no display; with tests ending and starting side by side, that happened.
XVFB = xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env GSETTINGS_BACKEND=memory

.PHONY: all programs build run check test bench install clean format windows dist-windows \
  test-windows deb test-deb

all: build

# The programs alone; a build folder made here leaves the tests out until
# `make check` or `make test` adds them.
programs:
	@scripts/bootstrap
	@test -f $(BUILD)/CMakeCache.txt || cmake --preset dev -B $(BUILD) -DONDAVO_BUILD_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

run: programs
	@mkdir -p $(BUILD)/run
	cp samples/dictation.DVR $(BUILD)/run/dictation.DVR
	$(BUILD)/bin/ondavo-cli decode $(BUILD)/run/dictation.DVR

build:
	@scripts/bootstrap test
	cmake --preset dev -B $(BUILD) -DONDAVO_BUILD_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

# The test suites, seconds after a build; one test by name:
#   make check TESTS='-R CliTest.EachRunSaysHowItWentAndExitsSo'
check: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS) $(TESTS)

# The whole gate: the suites, then the suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzzer.
test: check
	scripts/test-sanitized
	scripts/fuzz

bench: build
	@scripts/bootstrap bench
	scripts/bench

install: programs
	cmake --install $(BUILD)

# The 32-bit Windows programs, cross-built with MinGW into $(WINDOWS_BUILD)/bin:
# ondavo.exe, ondavo-cli.exe, vek-codec.exe and Vek.dll. The first run on a
# machine prepares it (scripts/setup-windows-machine: packages, the deb-src
# entry, 32-bit programs; it says what it changes) and builds the Windows
# libraries into a cache outside the clone (scripts/bootstrap-windows);
# later runs reuse them.
# A build folder made with other libraries is configured afresh. Only the
# programs are built, even where `make test-windows` has added the tests.
windows:
	@scripts/setup-windows-machine
	@scripts/bootstrap-windows
	@set -e; deps=$$(scripts/bootstrap-windows --print-prefix); \
	if [ -f $(WINDOWS_BUILD)/CMakeCache.txt ] && \
	   ! grep -qxF "ONDAVO_WINDOWS_DEPS:PATH=$$deps" $(WINDOWS_BUILD)/CMakeCache.txt; then \
	  echo "windows: other Windows libraries; configuring $(WINDOWS_BUILD) afresh"; \
	  rm -rf $(WINDOWS_BUILD); \
	fi; \
	if [ ! -f $(WINDOWS_BUILD)/CMakeCache.txt ]; then \
	  set -x; \
	  ONDAVO_WINDOWS_DEPS=$$deps cmake --preset windows -B $(WINDOWS_BUILD) \
	    -DONDAVO_BUILD_TESTS=OFF; \
	fi
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target $(PROGRAMS)

# The installer $(WINDOWS_BUILD)/dist/Ondavo-VERSION-setup.exe (NSIS,
# res/ondavo.nsi) and the portable Ondavo-VERSION-windows.zip beside it.
dist-windows: windows
	cmake --build $(WINDOWS_BUILD) --target dist

# The test suites built for Windows and run under Wine, the window's on Xvfb:
# ctest lists and runs each test program through scripts/wine-run. The tests
# go into $(WINDOWS_BUILD) itself, as `make check` adds them to $(BUILD), so
# the programs are compiled once. The installer is built too, and tested in
# a scratch Wine prefix (the ctest dist.installer, scripts/test-installer),
# and the Windows programs are held against the Linux ones of $(BUILD)
# (windows.like_linux, tests/windows_like_linux.py). A test that fails is run
# once more: under qemu-i386 Wine's own server now and then dies, and the
# program waiting on it hangs until its time-out; a real fault fails twice.
# One test by name, as for `make check`:
#   make test-windows TESTS='-R CliCodecTest'
test-windows: windows programs
	cmake -S . -B $(WINDOWS_BUILD) -DONDAVO_BUILD_TESTS=ON \
	  -DONDAVO_LINUX_BIN_DIR=$(CURDIR)/$(BUILD)/bin
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cmake --build $(WINDOWS_BUILD) --target dist
	cd $(WINDOWS_BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS) --repeat until-pass:2 $(TESTS)

# The Debian package $(DEB_BUILD)/ondavo_VERSION_amd64.deb, built with
# dpkg-buildpackage in a scratch copy of the tree (scripts/build-deb); the
# version is the project's, marked when the tree has changes not committed.
deb:
	@scripts/bootstrap deb
	scripts/build-deb --jobs $(JOBS) --output $(DEB_BUILD)

# The package tested as Debian tests packages (scripts/test-deb): lintian;
# piuparts installs, removes and purges it in a fresh Debian 12 chroot, and
# there the installed programs decode the sample as $(BUILD)'s do.
test-deb: deb programs
	scripts/test-deb --build $(BUILD) $(DEB_BUILD)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

# Every build tree of this clone; the Windows libraries, the Wine prefix and
# the package test's chroot cached under ~/.cache/ondavo are shared by every
# clone and stay.
clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(DEB_BUILD) build-asan build-fuzz build-bench
