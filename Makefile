# Two commands do everything: `make run` and `make test`. Both install what is missing first.
PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libvterm-dev \
            clang libclang-rt-14-dev
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test build deps test-default test-sanitize sanitize clang fuzz fuzz-run bench bench-terminal clean

run: build
	./build/default/quorvendalist

test: test-default

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

test-default: build
	ctest --preset default -j $(JOBS)

sanitize: deps
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)

test-sanitize: sanitize
	ctest --preset sanitize -j $(JOBS)

clang: deps
	cmake --preset clang >/dev/null
	cmake --build --preset clang -j $(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

# Benchmarks want a quiet machine; see README.md for the figures and what they mean.
bench: build
	./build/default/format_bench

bench-terminal: build
	./build/default/terminal_bench

FUZZ_SECONDS ?= 30
fuzz-run: fuzz
	bash fuzz/run_all.sh $(FUZZ_SECONDS)

# Install only what is missing, so a machine that has everything needs no network.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

clean:
	rm -rf build
