# Two commands set Selvane up on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, and opens the sample model
#   make test   installs what is missing, builds, and runs every test
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
SAMPLE := data/sample.vtk
# Tests and screenshots need an X display; without one they run under a virtual one. Its number
# is the first free one from a start drawn from the shell's process ID (-a searches from -n,
# so -n comes first): runs on one machine with their own /tmp but shared abstract sockets would
# otherwise all take :99.
XRUN := $(if $(DISPLAY),,xvfb-run -n $$(( $$$$ % 400 + 100 )) -a -s "-screen 0 1280x1024x24")

.PHONY: deps build run test sanitize bench clean

deps:
	@./scripts/install-deps.sh

$(BUILD)/Makefile: CMakeLists.txt
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j$(JOBS)

run: build
ifeq ($(DISPLAY),)
	@mkdir -p out
	$(XRUN) $(BUILD)/app/selvane --screenshot out/selvane.png $(SAMPLE)
	@echo "No display: the window was drawn off screen to out/selvane.png"
else
	$(BUILD)/app/selvane $(SAMPLE)
endif

test: build
	cd $(BUILD) && $(XRUN) ctest --output-on-failure -j$(JOBS)

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSELVANE_SANITIZE=ON -DSELVANE_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 $(XRUN) ctest --output-on-failure -j$(JOBS)

bench: build
	@mkdir -p out/bench
	cmake --build $(BUILD) --target selvane_benchmarks -j$(JOBS)
	$(XRUN) ./scripts/run-benchmarks.sh $(BUILD) out/bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) out

# Fuzzing with libFuzzer (clang): builds the fuzz targets of fuzz/ in their own build and runs
# each for FUZZ_SECONDS with its seeds; what they find lands in $(FUZZ_BUILD)/fuzz-artifacts.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := model_open id_file point_file dat_reader stl_reader ply_reader obj_reader off_reader \
  vtp_open landmark_csv slicer_fcsv markups_json picked_points
.PHONY: fuzz

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DSELVANE_FUZZ=ON -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DSELVANE_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/fuzz-corpus/$$t $(FUZZ_BUILD)/fuzz-artifacts/$$t || exit 1; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/fuzz-artifacts/$$t/ \
	    $(FUZZ_BUILD)/fuzz-corpus/$$t fuzz/corpus/$$t || exit 1; \
	done
