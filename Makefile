# The front door: `make` builds, `make run` converts the bundled recording,
# `make test` runs every test, `make bench` measures. Each one first installs
# whatever Debian packages are missing (scripts/bootstrap), so a new machine
# needs nothing else.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDAVO_WERROR=ON

.PHONY: all bootstrap configure build run test bench install clean format

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/CMakeCache.txt: | bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: bootstrap $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p $(BUILD)/run
	cp samples/dictation.DVR $(BUILD)/run/dictation.DVR
	$(BUILD)/bin/ondavo-cli decode $(BUILD)/run/dictation.DVR

# The window's tests need a display: the whole suite runs under Xvfb. Then
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short run of each fuzzer.
test: build
	cd $(BUILD) && xvfb-run -a -s "-screen 0 1280x1024x24" \
	  env GSETTINGS_BACKEND=memory ctest --output-on-failure -j $(JOBS)
	scripts/test-sanitized
	scripts/fuzz-short

bench: build
	@scripts/bootstrap bench
	scripts/bench

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf $(BUILD)
