# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
# Where `make install` puts the client; DESTDIR stages it for a package.
PREFIX     ?= /usr/local
# A compiler cache, where the machine has one, makes a rebuild of a fresh clone cheap.
LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all deps build build-asan run install uninstall test test-plain test-asan test-fuzz clean

all: build

# Re-run the installer when it changes or when the build folder is new.
$(BUILD)/.deps-ok: scripts/install-deps
	bash scripts/install-deps
	mkdir -p $(BUILD) && touch $@

deps: $(BUILD)/.deps-ok

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DROOKWELL_SANITIZE=ON $(LAUNCHER)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/program/tavrin ]; then \
	  $(BUILD)/program/tavrin; \
	else \
	  echo "The client is not built yet; it will start as $(BUILD)/program/tavrin"; \
	fi

# The recipes take both from their environment, so a path may hold any letter.
export PREFIX DESTDIR

install: build
	cmake --install "$(BUILD)" --prefix "$$PREFIX"

# Takes away what the last install of this build put below DESTDIR + PREFIX.
uninstall:
	sh desktop/uninstall "$(BUILD)" "$$PREFIX"

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE e2e

# Bounded libFuzzer runs of the readers that take input from strangers.
FUZZ_SECONDS ?= 20
test-fuzz: deps
	bash scripts/run-fuzzers $(FUZZ_SECONDS)

test: test-plain test-asan test-fuzz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
