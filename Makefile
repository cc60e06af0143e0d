# The two commands of the README: `make run` and `make test`.
# `make build` builds both Windows targets and the native tests.
# Each build folder is configured once; ninja re-runs CMake when a list changes.

BUILD     := build
GENERATOR := -G Ninja
CMAKE_CFG := -DCMAKE_BUILD_TYPE=Release

.PHONY: all build build-x86_64 build-i686 build-native build-fuzz dist run test bootstrap clean

all: build

bootstrap:
	@scripts/bootstrap

build: build-x86_64 build-i686 build-native build-fuzz

build-x86_64: bootstrap
	@test -f $(BUILD)/x86_64/build.ninja || cmake -S . -B $(BUILD)/x86_64 $(GENERATOR) $(CMAKE_CFG) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake >/dev/null
	@cmake --build $(BUILD)/x86_64

build-i686: bootstrap
	@test -f $(BUILD)/i686/build.ninja || cmake -S . -B $(BUILD)/i686 $(GENERATOR) $(CMAKE_CFG) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake >/dev/null
	@cmake --build $(BUILD)/i686

build-native: bootstrap
	@test -f $(BUILD)/native/build.ninja || cmake -S . -B $(BUILD)/native $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc >/dev/null
	@cmake --build $(BUILD)/native

build-fuzz: bootstrap
	@test -f $(BUILD)/fuzz/build.ninja || cmake -S . -B $(BUILD)/fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
	@cmake --build $(BUILD)/fuzz

# The release: archives and installers of both targets, into dist/.
dist: build-x86_64 build-i686
	@scripts/dist $(BUILD) dist

test: build dist
	@scripts/test-all $(BUILD)

run: build-x86_64
	@scripts/demo $(BUILD)/x86_64

clean:
	rm -rf $(BUILD) dist
