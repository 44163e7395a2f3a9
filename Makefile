# The front door: every target installs what is missing, then builds with CMake and Ninja.
BUILD    ?= build
SANITIZE ?= build-sanitize
JOBS     ?= $(shell nproc)

CMAKE_CONFIGURE = cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test sanitize bench install package test-debian13 screenshot clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@$(CMAKE_CONFIGURE) -B $(BUILD) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program alone: its tests and benchmarks wait for `make test`.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target sentrilo
	./$(BUILD)/ui/sentrilo

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@$(CMAKE_CONFIGURE) -B $(SANITIZE) -DSENTRILO_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS)
	cd $(SANITIZE) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@cmake --build $(BUILD) --target bench

install: build
	cmake --install $(BUILD) --prefix $(HOME)/.local

# The Debian package, built from a copy of the tree under $(BUILD)/, into dist/.
package: deps
	./scripts/package $(BUILD) dist

# The same suite and package on a fresh Debian 13 root (needs root or sudo; see the script).
test-debian13: deps
	./scripts/test-debian13 $(BUILD) dist

screenshot: build
	./scripts/screenshot $(BUILD)/ui/sentrilo docs/screenshot.png

clean:
	rm -rf $(BUILD) $(SANITIZE)
