# The two entry points: `make run` starts the program on the demo site,
# `make test` runs every test. Both install what is missing first.
#
#   make test SANITIZE=1   the same tests built with ASan and UBSan
#   make bench             the benchmarks (figures on standard output)
#   make fuzz              every fuzz target for FUZZ_SECONDS (default 600), with clang
#   make hardening         the tests with SANITIZE=1, then with TSAN=1, then
#                          every fuzz target for 20 seconds
#   make check             what CI runs: make test, then make hardening

PACKAGES := cmake g++ pkg-config make curl \
	libgtest-dev libgmock-dev libbenchmark-dev \
	libicu-dev libpcre2-dev libcurl4-openssl-dev \
	libgtk-3-dev libwebkit2gtk-4.1-dev libx11-dev libxtst-dev \
	xvfb xauth xdotool dbus-x11 at-spi2-core python3-pyatspi python3-gi \
	fonts-wqy-microhei clang libclang-rt-14-dev

ifeq ($(SANITIZE),1)
BUILD ?= build-asan
CMAKE_FLAGS := -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
TEST_ENV := ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else ifeq ($(TSAN),1)
BUILD ?= build-tsan
CMAKE_FLAGS := -DQUORVANE_TSAN=ON -DQUORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
TEST_ENV := TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp
else
BUILD ?= build
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
TEST_ENV :=
endif

JOBS ?= $(shell nproc)

.PHONY: all deps configure build test hardening check run bench fuzz clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi; \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && env $(TEST_ENV) xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j $(JOBS) --timeout 300

# Each suite in a make of its own: the sanitizer settings are chosen when
# the Makefile is read.
hardening:
	$(MAKE) test SANITIZE=1
	$(MAKE) test TSAN=1
	$(MAKE) fuzz FUZZ_SECONDS=20

check:
	$(MAKE) test
	$(MAKE) hardening

run: build
	@tools/run-demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

FUZZ_SECONDS ?= 600
fuzz: deps
	@tools/fuzz-smoke.sh $(CURDIR)/build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-fuzz
