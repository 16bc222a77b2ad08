# Thin wrapper around CMake; see README.md.
BUILD ?= build
ASAN_BUILD ?= build-asan
RELEASE_BUILD ?= build-release
JOBS ?= $(shell nproc)

.PHONY: all deps build check check-asan check-release demo install clean format

all: build

deps:
	@scripts/deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_CXX_COMPILER=g++

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Developers and CI build with warnings as errors; a plain build does not, so
# a newer compiler's new warnings never stop someone building a release.
check: deps $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DPLIX_WERROR=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests built by clang with AddressSanitizer and UBSan.
$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DPLIX_SANITIZE=ON \
	  -DCMAKE_BUILD_TYPE=Debug

check-asan: deps $(ASAN_BUILD)/build.ninja
	cmake -S . -B $(ASAN_BUILD) -DPLIX_WERROR=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The optimized build that gets installed: g++ at -O3 warns about things the
# default build never shows.
$(RELEASE_BUILD)/build.ninja: | deps
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release

check-release: deps $(RELEASE_BUILD)/build.ninja
	cmake -S . -B $(RELEASE_BUILD) -DPLIX_WERROR=ON >/dev/null
	cmake --build $(RELEASE_BUILD) -j $(JOBS)
	cd $(RELEASE_BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@examples/demo.sh $(BUILD)

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(RELEASE_BUILD)
