# `make run` builds the program alone, in a configuration of its own without tests and
# benchmarks (build/program), and starts it; `make test` builds everything (build/default) and
# runs its suites: the unit suites of each subsystem, the real program on pseudo-terminals
# (e2e_tests), installing and removing it, and the message for missing packages. Each target
# installs the Debian packages it needs that are missing first: building the program needs a
# compiler, CMake, make, and libtinfo's headers (libncurses-dev), through which the program
# reads each terminal's description. docs/development.md lists every target.
PROGRAM_PACKAGES := cmake g++ make libncurses-dev
# The Debian package is built the Debian way (debian/, dpkg-buildpackage) and checked by lintian.
PACKAGE_PACKAGES := $(PROGRAM_PACKAGES) debhelper dpkg-dev lintian
# locales lets the tests make an ISO-8859-1 locale.
PACKAGES := $(PACKAGE_PACKAGES) pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libvterm-dev libxml2-dev locales clang libclang-rt-14-dev lintian mandoc python3 \
            stress-ng
JOBS ?= $(shell nproc)
# What `cmake --build` and ctest run at once, also inside a workflow, which takes no -j.
export CMAKE_BUILD_PARALLEL_LEVEL = $(JOBS)
export CTEST_PARALLEL_LEVEL = $(JOBS)
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: run program documents install uninstall deb package test build deps deps-program \
        deps-package test-default test-loaded soft test-soft test-sanitize sanitize clang test-clang fuzz \
        fuzz-run bench \
        bench-terminal windows test-windows package-windows bench-windows deps-windows aarch64 \
        test-aarch64 deps-aarch64 test-cross deps-cross web web-serve test-web bench-web deps-web mutation clean

run: program
	@./build/program/quorvendalist

# Only the program and its libraries, quietly: CMake's and make's chatter goes away, compiler
# errors and warnings (standard error) still show.
program: deps-program
	@echo "Building quorvendalist (the program only; 'make test' builds everything)..."
	@cmake --preset program >/dev/null
	@cmake --build --preset program -j $(JOBS) --target quorvendalist >/dev/null

documents: deps-program
	@cmake --preset program >/dev/null
	@cmake --build --preset program -j $(JOBS) --target qv_documents >/dev/null

# The program, its manual page and its bash completion under $(DESTDIR)$(PREFIX), through
# CMake's install rules. Under sudo the build runs as the user who called sudo, so that the
# build folder gets no files only root may change; only the install itself runs as root.
BUILD_AS := $(if $(SUDO_USER),$(if $(filter 0,$(shell id -u)),sudo -u $(SUDO_USER) env PATH="$(PATH)"))
install:
	@$(BUILD_AS) $(MAKE) --no-print-directory program documents
	@DESTDIR="$(DESTDIR)" sh cmake/install.sh build/program "$(PREFIX)"

# What `make install` puts under $(DESTDIR)$(PREFIX) goes again: the files CMake's install rules
# write there. It needs the build configured, not built.
uninstall:
	@cmake --preset program >/dev/null
	@DESTDIR="$(DESTDIR)" sh cmake/uninstall.sh build/program "$(PREFIX)"

# The Debian packages (quorvendalist and its -dbgsym) for ARCH, by default this machine's, in
# build/deb/ARCH: dpkg-buildpackage on a copy of the sources, a cross-build with -a and Debian's
# cross packages for another architecture; then lintian.
ARCH ?= $(shell dpkg --print-architecture)
HOST_ARCH := $(shell dpkg --print-architecture)
DEB_DIR := build/deb/$(ARCH)
# A target whose development libraries cannot be installed beside this machine's (s390x here:
# the archive's versions differ) builds with the cross compiler's own C library and the build
# profile pkg.quorvendalist.noterminfo: DEB_BUILD_PROFILES=pkg.quorvendalist.noterminfo.
CROSS_DEB_PACKAGES = crossbuild-essential-$(ARCH) libncurses-dev:$(ARCH)
ifneq (,$(filter pkg.quorvendalist.noterminfo,$(DEB_BUILD_PROFILES)))
CROSS_DEB_PACKAGES = g++-$(shell dpkg-architecture -a$(ARCH) -qDEB_HOST_GNU_TYPE 2>/dev/null) \
                     libc6:$(ARCH) libstdc++6:$(ARCH)
endif
deb: deps-package
ifneq ($(ARCH),$(HOST_ARCH))
	@sh cmake/install-packages.sh --architecture $(ARCH) $(CROSS_DEB_PACKAGES)
endif
	rm -rf $(DEB_DIR) && mkdir -p $(DEB_DIR)/quorvendalist
	tar --exclude=./build --exclude=./.git --exclude=./page/node_modules -cf - . | \
	   tar -xf - -C $(DEB_DIR)/quorvendalist
	cd $(DEB_DIR)/quorvendalist && dpkg-buildpackage -us -uc -b \
	   $(if $(filter-out $(HOST_ARCH),$(ARCH)),-a $(ARCH)) >../build.log 2>&1 || \
	   { tail -n 40 ../build.log; exit 1; }
	lintian --fail-on error,warning $(DEB_DIR)/*.changes
	@ls $(DEB_DIR)/*.deb

package: deb

# Each configuration of CMakePresets.json is also a workflow of the same name, which configures
# build/NAME, builds it and runs its tests in one step: `cmake --workflow --preset soft`. The
# targets below are short names for them; the build-only ones leave the tests unrun.
# soft: the extended arithmetic in integers instead of on the x87 (what aarch64 builds use).
# sanitize: a Debug build under AddressSanitizer and UndefinedBehaviorSanitizer; clang: clang 14.
test: test-default

test-default test-soft test-sanitize test-clang test-aarch64: deps
	cmake --workflow --preset $(@:test-%=%)

# The suites that drive a pseudo-terminal once more on a machine kept busy by two CPU workers per
# core: their deadlines wait for progress, so they must pass there too.
LOAD_WORKERS ?= $(shell echo $$(( $$(nproc) * 2 )))
test-loaded: build
	@stress-ng --cpu $(LOAD_WORKERS) --timeout 3600 --quiet & load=$$!; \
	 trap 'kill $$load 2>/dev/null; wait $$load' EXIT; \
	 ctest --preset default -R '^(e2e_tests|console_tests)$$'

fuzz: deps
	cmake --workflow --preset fuzz

build soft sanitize clang windows aarch64: deps
	cmake --preset $(preset) >/dev/null
	cmake --build --preset $(preset)

# `make build` is the default configuration's; the others are named like their presets.
preset = $(if $(filter build,$@),default,$@)

# Benchmarks want a quiet machine; docs/performance.md holds the figures and what they mean.
# Each runs for the x87 build and for the build that computes the extended arithmetic in integers.
bench: build soft
	./build/default/extended_bench
	./build/default/format_bench
	./build/default/picture_bench
	./build/soft/format_bench

bench-terminal: build soft
	./build/default/terminal_bench
	./build/default/terminal_bench --program build/soft/quorvendalist

# The Windows console executable, cross-built with mingw-w64 (build/windows/quorvendalist.exe,
# stripped, its debug information in quorvendalist.exe.debug beside it); its portable test
# suites run under Wine, the release's zip and installer are checked, and the Linux-side tests
# drive the program in a Wine console inside a pseudo-terminal and install it with the installer.
# The installer is a 32-bit program, which needs the 32-bit half of Wine.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64 wine32:i386 nsis
# The release alone needs the cross compiler, the installer's compiler and zip, not the tests'
# toolchain.
WINDOWS_RELEASE_PACKAGES := cmake make g++-mingw-w64-x86-64-posix nsis zip

windows: deps-windows

# The zip, the installer and the symbols, in build/windows-release/package, from a build of the
# program alone.
package-windows:
	@sh cmake/install-packages.sh $(WINDOWS_RELEASE_PACKAGES)
	@cmake --preset windows-release >/dev/null
	cmake --build --preset windows-release -j $(JOBS) --target package_windows

test-windows: package-windows build deps-windows
	cmake --workflow --preset windows
	ctest --preset wine-e2e

# Start-up against a trivial console program built the same way, and 100,000 lines, under Wine.
bench-windows: windows
	cmake/wine-run.sh --start build/windows
	cd build/windows && WINEPREFIX=$$PWD/wineprefix WINEDEBUG=-all python3 ../../bench/win/wine_startup.py 15 /usr/lib/wine/wine64 ./trivial_console.exe
	cd build/windows && WINEPREFIX=$$PWD/wineprefix WINEDEBUG=-all python3 ../../bench/win/wine_startup.py 15 /usr/lib/wine/wine64 ./quorvendalist.exe
	cd build/windows && WINEPREFIX=$$PWD/wineprefix WINEDEBUG=-all python3 ../../bench/win/wine_throughput.py 100000 /usr/lib/wine/wine64 ./quorvendalist.exe
	cmake/wine-run.sh --stop build/windows

deps-windows:
	@sh cmake/install-packages.sh --architecture i386 $(WINDOWS_PACKAGES)

# The aarch64 build, cross-built with Debian's compiler (build/aarch64); the whole suite runs
# under qemu-user, the pseudo-terminal tests of the real program included. The tests link and
# run with the arm64 multiarch packages (C and C++ libraries, GoogleTest, libvterm, libtinfo);
# the benchmarks are built too, so that they keep building for aarch64, but not run under
# emulation.
AARCH64_PACKAGES := g++-aarch64-linux-gnu qemu-user libc6:arm64 libstdc++6:arm64 \
                    libgtest-dev:arm64 libgmock-dev:arm64 libvterm-dev:arm64 \
                    libbenchmark-dev:arm64 libncurses-dev:arm64 libxml2-dev:arm64

aarch64 test-aarch64: deps-aarch64

# The arm64 packages come from the same archive once dpkg knows the architecture.
deps-aarch64:
	@sh cmake/install-packages.sh --architecture arm64 $(AARCH64_PACKAGES)

# Other Debian architectures, cross-built with Debian's compilers and run under qemu-user (i386
# on the x86-64 kernel itself): the same-output digests and the run-time error cases of each
# (cmake/cross-test.sh). armhf, i386 and ppc64el link the target's multiarch packages; the
# others (riscv64 has none in Debian 12) the cross compiler's own C and C++ libraries.
CROSS_ARCHES ?= i386 armhf armel s390x ppc64el riscv64 mipsel mips64el
CROSS_PACKAGES := qemu-user g++-i686-linux-gnu g++-arm-linux-gnueabihf g++-s390x-linux-gnu \
                  g++-powerpc64le-linux-gnu g++-riscv64-linux-gnu g++-arm-linux-gnueabi \
                  g++-mipsel-linux-gnu g++-mips64el-linux-gnuabi64
CROSS_LIBRARIES = libc6-dev:$(1) libstdc++-12-dev:$(1) libncurses-dev:$(1) libgtest-dev:$(1) \
                  libgmock-dev:$(1) libvterm-dev:$(1)

test-cross: deps deps-cross
	@for arch in $(CROSS_ARCHES); do \
	  echo "== $$arch"; JOBS=$(JOBS) sh cmake/cross-test.sh $$arch || exit 1; \
	done

deps-cross:
	@sh cmake/install-packages.sh $(CROSS_PACKAGES)
	@sh cmake/install-packages.sh --architecture i386 $(call CROSS_LIBRARIES,i386)
	@sh cmake/install-packages.sh --architecture armhf $(call CROSS_LIBRARIES,armhf)
	@sh cmake/install-packages.sh --architecture ppc64el $(call CROSS_LIBRARIES,ppc64el)

# The program in a browser tab: compiled to WebAssembly with Emscripten, drawn by xterm.js.
# build/web/page is a folder of static files to publish anywhere (CMake's `page` target); build/web
# holds the build, the same program for node (quorvendalist-node.js) and the test programs, which
# run under node. Emscripten's JavaScript optimiser finds its parser through NODE_PATH; node runs
# its output only without its own fetch (it would try to fetch the .wasm file as a URL).
WEB_PACKAGES := emscripten nodejs chromium firefox-esr python3-fonttools python3-brotli \
                fonts-dejavu-core
WEB_PORT ?= 8000
PAGE_DIR := build/web/page
web test-web bench-web: export NODE_PATH := /usr/share/nodejs

web: deps-web page/node_modules/.package-lock.json
	cmake --preset web >/dev/null
	cmake --build --preset web -j $(JOBS) --target page quorvendalist_node

# xterm.js for the page and puppeteer-core for its tests, as the lockfile pins them.
page/node_modules/.package-lock.json: page/package-lock.json
	cd page && npm ci --no-audit --no-fund

web-serve: web
	@echo "quorvendalist in a browser: http://127.0.0.1:$(WEB_PORT)/ (Ctrl-C stops the server)"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(PAGE_DIR)

# Under node: every test suite, the digits of the same-output test and the command's output
# against the native build's; in headless Chromium and Firefox: the page, through its terminal.
test-web: web build
	cmake --build --preset web -j $(JOBS)
	ctest --preset web -j $(JOBS)

# Load to the drawn menu, key press to echo, runs of 10^5 to 10^7 and Ctrl-C in headless Chromium
# and Firefox, beside the native program (build/default, when built); the folder's size.
bench-web: web
	NODE_PATH=page/node_modules node bench/web/page_bench.cjs $(PAGE_DIR) 15 build/default/quorvendalist
	QV_BROWSER=firefox NODE_PATH=page/node_modules node bench/web/page_bench.cjs $(PAGE_DIR) 5

# A machine with node from elsewhere (it brings npm) keeps it; Debian's needs its npm.
deps-web:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WEB_PACKAGES)"
	@command -v npm >/dev/null || $(MAKE) --no-print-directory deps PACKAGES=npm

FUZZ_SECONDS ?= 30
fuzz-run: fuzz
	bash fuzz/run_all.sh $(FUZZ_SECONDS)

# One deliberate fault at a time in a scratch copy of the tree, rebuilt and tested: which of them
# the suite catches (tests/mutation/mutate.py). Not part of `make test`: it takes half an hour.
MUTANTS ?=
mutation: deps
	python3 tests/mutation/mutate.py $(MUTANTS)

# Installs only what is missing, so a machine that has everything needs no network. Installing
# takes root: as root directly, else through sudo; with neither, one message says what to install.
deps:
	@sh cmake/install-packages.sh $(PACKAGES)

deps-program:
	@sh cmake/install-packages.sh $(PROGRAM_PACKAGES)

deps-package:
	@sh cmake/install-packages.sh $(PACKAGE_PACKAGES)

clean:
	rm -rf build
