# Front door of the build: every target installs what is missing, then configures and builds with CMake.
BUILD ?= build
FUZZ_SECONDS ?= 60
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++

# Warnings are errors in the plain build; the sanitizers make g++ warn falsely inside the library.
ifeq ($(SANITIZE),1)
BUILD := build-asan
CMAKE_FLAGS += -DFW_SANITIZE=ON -DFW_WERROR=OFF
export ASAN_OPTIONS := detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS := suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0
else
CMAKE_FLAGS += -DFW_WERROR=ON
endif

.PHONY: all deps configure build test demo bench fuzz format clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@cd $(BUILD) && ctest -j2 --output-on-failure

demo: build
	@scripts/demo.sh $(BUILD)

# TFTP send times of the recovery beside curl on the test LAN, plain and delayed; not part of make test.
bench: build
	@scripts/deps.sh curl time
	@bench/run.sh $(BUILD)

fuzz:
	@scripts/deps.sh clang libclang-rt-14-dev
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_C_COMPILER=clang -DFW_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-fuzz --target fuzzers
	@scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
