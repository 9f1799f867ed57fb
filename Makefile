# Octile: the two everyday commands are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
GUI_ASAN_BUILD ?= build-gui-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
FILE       ?= $(CURDIR)/samples/sample.bin
# WERROR=ON makes warnings in Octile's own code errors (CI sets it).
WERROR     ?= OFF

.PHONY: all deps build run test test-asan test-tsan test-gui-asan fuzz bench package clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOCTILE_WERROR=$(WERROR)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Builds only what it runs: the editor, the command line tool and the plug-ins.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target octile_programs
	$(BUILD)/program/octile "$(FILE)"

test: build
	@bash scripts/run-tests.sh $(BUILD)

# The core library and its tests under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOCTILE_CORE_ONLY=ON -DOCTILE_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The core tests under ThreadSanitizer: the hex listing writes on a thread of
# its own while it formats.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOCTILE_CORE_ONLY=ON -DOCTILE_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target core_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The window tests that close the main window in the middle of long
# operations and drive search and editing, under ASan and UBSan (Qt's own
# allocations are not leak-checked).
GUI_ASAN_TESTS := gui_close_during_operation_test gui_edit_search_test
# The same tests as a ctest pattern: ^(a|b)$
empty :=
space := $(empty) $(empty)
GUI_ASAN_PATTERN := ^($(subst $(space),|,$(strip $(GUI_ASAN_TESTS))))$$
test-gui-asan: deps
	cmake -S . -B $(GUI_ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOCTILE_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
	cmake --build $(GUI_ASAN_BUILD) -j $(JOBS) --target $(GUI_ASAN_TESTS)
	cd $(GUI_ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -R '$(GUI_ASAN_PATTERN)'

# The libFuzzer targets (clang), each run for FUZZ_SECONDS on its seed corpus.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh $(FUZZ_BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

# The Debian package octile_<version>-1_<arch>.deb, in $(BUILD)/, checked by
# lintian and appstreamcli (any error or warning fails).
package: build
	cd $(BUILD) && cpack -G DEB
	@bash scripts/lint-package.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(GUI_ASAN_BUILD) $(FUZZ_BUILD)
