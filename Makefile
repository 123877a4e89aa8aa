# The two entry points: `make run` starts the program on the demo site,
# `make test` runs every test. Both install what is missing first.
#
#   make test SANITIZE=1   the same tests built with ASan and UBSan
#   make bench             the benchmarks (figures on standard output)
#   make fuzz              every fuzz target for FUZZ_SECONDS (default 600), with clang
#   make hardening         the tests with SANITIZE=1, then with TSAN=1, then
#                          every fuzz target for 20 seconds
#   make check             what CI runs: make test, then make hardening
#   make package           the Debian package, build/quorvane_VERSION_ARCH.deb
#   make install           the program, its menu entry, icon and metadata under
#                          PREFIX (default /usr/local), staged under DESTDIR if set

# The Debian packages each command needs, by purpose. Each command installs
# its own sets and no more.
# Building the program, and what it needs at run time beside its libraries:
# the demo site's interpreter, xdg-open, a CJK face, the SVG icon loader.
PACKAGES_BUILD := cmake g++ pkg-config make \
	libicu-dev libpcre2-dev libcurl4-openssl-dev libgtk-3-dev libwebkit2gtk-4.1-dev
PACKAGES_RUN := python3 xdg-utils fonts-wqy-microhei librsvg2-common
# The tests and benchmarks: their frameworks, the private X and Wayland
# sessions they drive the window in, the accessibility bindings the
# end-to-end tests read.
PACKAGES_TEST := libgtest-dev libgmock-dev libbenchmark-dev libx11-dev libxtst-dev \
	xvfb xauth xdotool dbus-x11 at-spi2-core python3-pyatspi python3-gi weston
# Making and checking the Debian package (the package test is part of make test).
PACKAGES_PACKAGE := dpkg-dev file desktop-file-utils appstream
# The fuzz targets build with clang and its libFuzzer; GCC's sanitizers come with g++.
PACKAGES_FUZZ := clang libclang-rt-14-dev

NEEDS_RUN := $(PACKAGES_BUILD) $(PACKAGES_RUN)
NEEDS_TEST := $(NEEDS_RUN) $(PACKAGES_TEST) $(PACKAGES_PACKAGE)
NEEDS_PACKAGE := $(PACKAGES_BUILD) $(PACKAGES_PACKAGE)
NEEDS_FUZZ := $(PACKAGES_BUILD) $(PACKAGES_FUZZ)
NEEDS_HARDENING := $(NEEDS_TEST) $(PACKAGES_FUZZ)

ifeq ($(SANITIZE),1)
PRODUCT := no
BUILD ?= build-asan
CMAKE_FLAGS := -DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
BENCH := OFF
TEST_ENV := ASAN_OPTIONS=abort_on_error=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$(CURDIR)/tests/ubsan.supp
else ifeq ($(TSAN),1)
PRODUCT := no
BUILD ?= build-tsan
CMAKE_FLAGS := -DQUORVANE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
BENCH := OFF
TEST_ENV := TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp
else
PRODUCT := yes
BUILD ?= build
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
BENCH := ON
TEST_ENV :=
endif
PREFIX ?= /usr/local

JOBS ?= $(shell nproc)

.PHONY: all deps deps-run deps-test deps-package deps-fuzz deps-hardening configure \
	configure-program program build test hardening check run bench fuzz package install clean

all: build

# Installs what is missing of the packages named by $(1): one apt-get update
# at most, nothing said when all are there.
define install_missing
@missing=$$(for p in $(sort $(1)); do \
  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
if [ -n "$$missing" ]; then \
  echo "Installing:" $$missing; \
  if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi; \
  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
fi
endef

deps: deps-hardening
deps-run:
	$(call install_missing,$(NEEDS_RUN))
deps-test:
	$(call install_missing,$(NEEDS_TEST))
deps-package:
	$(call install_missing,$(NEEDS_PACKAGE))
deps-fuzz:
	$(call install_missing,$(NEEDS_FUZZ))
deps-hardening:
	$(call install_missing,$(NEEDS_HARDENING))

# Everything: the tests, and the benchmarks but in sanitizer builds.
configure: deps-test
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DBUILD_TESTING=ON -DQUORVANE_BENCH=$(BENCH) >/dev/null

# The program alone needs no test framework: a new build folder is set up
# without the tests and benchmarks, one that has them keeps them.
configure-program:
	@[ -f $(BUILD)/CMakeCache.txt ] || \
	  cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DBUILD_TESTING=OFF -DQUORVANE_BENCH=OFF >/dev/null

program: configure-program
	@cmake --build $(BUILD) -j $(JOBS) --target quorvane

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && env $(TEST_ENV) xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j $(JOBS) --timeout 300

# Each suite in a make of its own: the sanitizer settings are chosen when
# the Makefile is read.
hardening: deps-hardening
	$(MAKE) test SANITIZE=1
	$(MAKE) test TSAN=1
	$(MAKE) fuzz FUZZ_SECONDS=20

check: deps-hardening
	$(MAKE) test
	$(MAKE) hardening

run: deps-run
	@$(MAKE) --no-print-directory program
	@tools/run-demo.sh $(BUILD)

# The package and the installation take the program of the plain build,
# never a sanitizer build's.
product-only = $(if $(filter yes,$(PRODUCT)),,$(error make $@ takes the program of the plain build: run it without SANITIZE or TSAN))

package: deps-package
	$(product-only)
	@$(MAKE) --no-print-directory program
	@cd $(BUILD) && cpack

install: deps-run
	$(product-only)
	@$(MAKE) --no-print-directory program
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

FUZZ_SECONDS ?= 600
fuzz: deps-fuzz
	@tools/fuzz-smoke.sh $(CURDIR)/build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-fuzz
