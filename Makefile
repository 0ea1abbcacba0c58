# Everything goes through CMake and Ninja; these targets add the set-up a fresh Debian 12
# machine needs (scripts/bootstrap.sh) and the display the window tests need (a private Xvfb).
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
BUILD_TSAN  ?= build-tsan
# Tests of the modules that run threads, repeated under ThreadSanitizer.
TSAN_TESTS  ?= EventBus|WorkerThread|Lock|Loader|AssetCache|Mixer|WaveOut|ZoneLoading
JOBS        ?= 2
FUZZ_SECONDS ?= 20
WERROR      := $(if $(CI),ON,OFF)
XVFB        := bash $(CURDIR)/scripts/with-xvfb.sh

.PHONY: all bootstrap configure build test test-sanitize play bench fuzz format clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_WERROR=$(WERROR)

configure: bootstrap $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS)

test-sanitize: bootstrap
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREVANE_SANITIZE=ON -DOSTREVANE_BENCH=OFF -DOSTREVANE_WERROR=$(WERROR)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(XVFB) ctest --output-on-failure -j $(JOBS) -L unit
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREVANE_TSAN=ON -DOSTREVANE_BENCH=OFF -DOSTREVANE_WERROR=$(WERROR)
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target unit_tests
	cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1 ./unit_tests --gtest_filter='$(subst |,*:,$(TSAN_TESTS))*-*DeathTest*'

# The local login and world servers run beside the client and stop when it ends.
play: build
	sh scripts/play.sh ./$(BUILD)/game

# Under a private X server, so the frame benchmarks can draw through Mesa.
bench: build
	@$(XVFB) sh -c 'for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done'


fuzz: bootstrap
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_FUZZ=ON -DOSTREVANE_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	@for f in $(BUILD_FUZZ)/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p $(BUILD_FUZZ)/corpus/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(BUILD_FUZZ)/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

format:
	find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_TSAN)
