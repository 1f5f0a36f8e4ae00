# make run: build and run the program on the current machine (made from the default profile when
# missing). make test: build and run every test, then the whole suite again under ASan and UBSan,
# then the fuzz targets (clang's libFuzzer) for a bounded number of inputs each.
BUILD ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
JOBS ?= $(shell nproc)
ITEM ?= MENUITEM_LAUNCH_TOOLBAR,|

.PHONY: all deps build build-asan build-fuzz run test test-plain test-asan test-fuzz clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/Makefile: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(BUILD_ASAN)/Makefile: | deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DFLIPDECK_SANITIZE=ON

$(BUILD_FUZZ)/Makefile: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLIPDECK_FUZZ=ON

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(BUILD_ASAN)/Makefile
	cmake --build $(BUILD_ASAN) -j $(JOBS)

build-fuzz: deps $(BUILD_FUZZ)/Makefile
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

run: build
	$(BUILD)/bin/flipdeck-machine info
	@if [ -x $(BUILD)/bin/FlipdeckEx ]; then $(BUILD)/bin/FlipdeckEx "$(ITEM)"; fi

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

test-fuzz: build-fuzz
	cd $(BUILD_FUZZ) && ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan test-fuzz

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
