# make run: build and run the program on the current machine (made from the default profile when
# missing). make test: build and run every test, then the whole suite again under ASan and UBSan.
BUILD ?= build
BUILD_ASAN ?= build-asan
JOBS ?= $(shell nproc)
ITEM ?= MENUITEM_LAUNCH_TOOLBAR,|

.PHONY: all deps build build-asan run test test-plain test-asan clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/Makefile: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(BUILD_ASAN)/Makefile: | deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DFLIPDECK_SANITIZE=ON

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(BUILD_ASAN)/Makefile
	cmake --build $(BUILD_ASAN) -j $(JOBS)

run: build
	$(BUILD)/bin/flipdeck-machine info
	@if [ -x $(BUILD)/bin/FlipdeckEx ]; then $(BUILD)/bin/FlipdeckEx "$(ITEM)"; fi

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
