# The front door: `make run` builds the programs and converts the bundled
# recording, `make check` runs the test suites, `make test` the whole gate,
# `make bench` measures. Each one first installs whatever Debian packages it
# is missing (scripts/bootstrap), so a new machine needs nothing else, and
# pays only for what it runs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDAVO_WERROR=ON
PROGRAMS = ondavo ondavo-cli vek-codec Vek
# The window's tests need a display. -noreset: Xvfb otherwise starts over
# whenever its last client leaves, and a test that connects meanwhile finds
# no display; with tests ending and starting side by side, that happened.
XVFB = xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env GSETTINGS_BACKEND=memory

.PHONY: all programs build run check test bench install clean format

all: build

# The programs alone; a build folder made here leaves the tests out until
# `make check` or `make test` adds them.
programs:
	@scripts/bootstrap
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DONDAVO_BUILD_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

run: programs
	@mkdir -p $(BUILD)/run
	cp samples/dictation.DVR $(BUILD)/run/dictation.DVR
	$(BUILD)/bin/ondavo-cli decode $(BUILD)/run/dictation.DVR

build:
	@scripts/bootstrap test
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DONDAVO_BUILD_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

# The test suites, seconds after a build; one test by name:
#   make check TESTS='-R CliTest.ExitStatusSaysHowTheRunWent'
check: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS) $(TESTS)

# The whole gate: the suites, then the suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzzer.
test: check
	scripts/test-sanitized
	scripts/fuzz-short

bench: build
	@scripts/bootstrap bench
	scripts/bench

install: programs
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf $(BUILD)
