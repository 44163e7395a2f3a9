# The front door: every target installs what is missing, then builds with CMake and Ninja.
BUILD    ?= build
SANITIZE ?= build-sanitize
JOBS     ?= $(shell nproc)

CMAKE_CONFIGURE = cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test sanitize bench install screenshot clean

all: build

deps:
	@./scripts/install-deps

build: deps
	@$(CMAKE_CONFIGURE) -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
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

screenshot: build
	./scripts/screenshot $(BUILD)/ui/sentrilo docs/screenshot.png

clean:
	rm -rf $(BUILD) $(SANITIZE)
