# Set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
# CI builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench clean

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DVESCOR_SANITIZE=$(SANITIZE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/vescor

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	for b in $(BUILD_DIR)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

clean:
	rm -rf $(BUILD_DIR)
