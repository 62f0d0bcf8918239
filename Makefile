# Front door of the build: every target installs what is missing, then configures and builds with CMake.
BUILD ?= build
FUZZ_SECONDS ?= 60
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DFW_WERROR=ON

ifeq ($(SANITIZE),1)
BUILD := build-asan
CMAKE_FLAGS += -DFW_SANITIZE=ON
endif

.PHONY: all deps configure build test demo fuzz format clean

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
