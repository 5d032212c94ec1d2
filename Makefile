# Thin wrapper: every target installs what is missing, configures and builds first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_BENCH?= build-bench
BUILD_FUZZ ?= build-fuzz
BUILD_WIN  ?= build-windows
QT_MINGW   ?= /opt/qt6-mingw
VERSION    := $(shell awk '/^project/ {print $$3; exit}' CMakeLists.txt)
JOBS       ?= 2
GENERATOR  := -G Ninja
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60

.PHONY: deps configure build run test test-asan bench fuzz format format-check package package-try windows \
	windows-package windows-test clean

# Each target installs only what it needs: scripts/install-deps gets the profiles of the goals given
# (`make run` needs no clang, `make test` no benchmark library); `make deps` alone installs everything.
deps_profile = $(patsubst configure,build,$(patsubst test-asan,test,$(patsubst format-check,format,$(patsubst package-try,package,$(1)))))
DEPS_PROFILES := $(sort $(call deps_profile,$(filter configure build run test test-asan bench fuzz format format-check \
                                                          package package-try,$(MAKECMDGOALS))))

deps:
	@scripts/install-deps $(or $(DEPS_PROFILES),all)

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program and its board module alone: no test is built before the window appears.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target kelvra
	$(BUILD)/kelvra $(ARGS)

# The tests, and CI, treat warnings as errors; a plain build does not.
test: configure
	cmake -S . -B $(BUILD) -DKELVRA_WERROR=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(BUILD_ASAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKELVRA_SANITIZE=ON -DKELVRA_WERROR=ON \
		$(CMAKE_ARGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_BENCH) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_BENCH=ON \
		-DKELVRA_BUILD_TESTS=OFF $(CMAKE_ARGS)
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	scripts/run-bench $(BUILD_BENCH)
	scripts/bench-startup $(BUILD_BENCH)
	scripts/bench-running $(BUILD_BENCH)
	scripts/bench-control $(BUILD_BENCH)

fuzz: deps
	CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKELVRA_BUILD_FUZZ=ON -DKELVRA_BUILD_TESTS=OFF $(CMAKE_ARGS)
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_targets
	scripts/run-fuzz $(BUILD_FUZZ) $(FUZZ_SECONDS)

package: deps
	cmake -S . -B build-package $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_TESTS=OFF $(CMAKE_ARGS)
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack
	scripts/check-package build-package

# Installs the package with apt-get, runs it, removes it and checks nothing is left (needs root).
package-try: package
	scripts/try-package build-package

# kelvra.exe for Windows x86-64, cross-built with mingw-w64 against the Qt in $(QT_MINGW), with what it
# needs to run beside it in $(BUILD_WIN)/Kelvra.
windows:
	scripts/install-deps windows
	cmake -S . -B $(BUILD_WIN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_TESTS=ON \
		-DCMAKE_TOOLCHAIN_FILE=$(QT_MINGW)/lib/cmake/Qt6/qt.toolchain.cmake \
		-DCMAKE_CROSSCOMPILING_EMULATOR=$(abspath scripts/wine-test) $(CMAKE_ARGS)
	cmake --build $(BUILD_WIN) -j $(JOBS) --target kelvra
	scripts/windows-folder $(BUILD_WIN) $(QT_MINGW)

# The test suites that run on Windows, built for it and run under wine.
windows-test: windows
	cmake --build $(BUILD_WIN) -j $(JOBS)
	scripts/test-windows $(BUILD_WIN) $(QT_MINGW)

# The folder as a zip, and an installer made with nsis, in $(BUILD_WIN).
windows-package: windows
	rm -f $(BUILD_WIN)/Kelvra-$(VERSION)-win64.zip
	cd $(BUILD_WIN) && zip -q -r -X Kelvra-$(VERSION)-win64.zip Kelvra
	makensis -V2 -DVERSION=$(VERSION) -DSOURCE=$(abspath $(BUILD_WIN))/Kelvra \
		-DOUTFILE=$(abspath $(BUILD_WIN))/Kelvra-$(VERSION)-setup.exe res/windows/kelvra.nsi

format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ) build-package build-run build-release build-nolookup \
		$(BUILD_WIN)
