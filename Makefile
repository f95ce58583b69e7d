# Set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
# CI builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE ?= $(if $(CI),ON,OFF)
# CI treats every compiler warning as an error (both the test and the fuzz builds).
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench package fuzz clean

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DVESCOR_SANITIZE=$(SANITIZE) -DVESCOR_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/vescor

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	for b in $(BUILD_DIR)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

# The Debian package vescor_<version>_amd64.deb in the build folder (packaging/),
# built without sanitizers even under CI (SANITIZE=ON on the command line still wins).
package: SANITIZE = OFF
package: build
	cmake --build $(BUILD_DIR) --target package

# libFuzzer targets in their own clang build; each runs FUZZ_TIME seconds on
# its seed corpus (plus what earlier runs found) and any finding fails.
FUZZ_DIR ?= build-fuzz
FUZZ_TIME ?= 20
FUZZ_TARGETS := fuzz_model_loader fuzz_csv_import fuzz_decode fuzz_encode fuzz_settings fuzz_register_image \
	fuzz_journal_reader fuzz_snapshot_file

fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DVESCOR_FUZZ=ON -DVESCOR_BUILD_BENCH=OFF -DVESCOR_WERROR=$(WERROR)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	set -e; for t in $(FUZZ_TARGETS); do \
		echo "== $$t"; \
		mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings; \
		seeds=tests/fuzz/corpus/$$t; \
		if [ $$t = fuzz_model_loader ]; then seeds="$$seeds models"; fi; \
		if [ $$t = fuzz_snapshot_file ]; then seeds=$(FUZZ_DIR)/seeds/$$t; fi; \
		ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		$(FUZZ_DIR)/bin/$$t -max_total_time=$(FUZZ_TIME) -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_DIR)/findings/$$t- $(FUZZ_DIR)/corpus/$$t $$seeds \
			> $(FUZZ_DIR)/$$t.log 2>&1 || { tail -n 60 $(FUZZ_DIR)/$$t.log; exit 1; }; \
		grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)' $(FUZZ_DIR)/$$t.log || true; \
	done

clean:
	rm -rf $(BUILD_DIR)
