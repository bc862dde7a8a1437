# TextCnv: make run | make test | make bench | make fuzz | make screenshot
BUILD   ?= build
RELEASE ?= build-release
ASAN    ?= build-asan
FUZZ    ?= build-fuzz
JOBS    ?= $(shell nproc)
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 10
FUZZERS := $(basename $(notdir $(wildcard fuzz/fuzz_*.cpp)))

# Leaks and undefined behaviour fail the suite; the suppressions name only
# third-party libraries.
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1 \
                 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: deps configure build run test test-asan fuzz-build fuzz fuzz-smoke bench screenshot format clean \
        windows-toolchain windows windows-test windows-test-if-cached

deps:
	@bash scripts/install-deps.sh

# Only configures: the package installer runs from the targets that build.
configure:
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# deps first, configure after it even under make -j.
build: deps
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) -j $(JOBS)

run: deps build
	./$(BUILD)/app/TextCnv

# The suite, the suite again under the sanitizers, then a short fuzzing round.
test: deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory fuzz-smoke
	@$(MAKE) --no-print-directory windows-test-if-cached

test-asan: deps
	@cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTCNV_SANITIZE=ON \
	  -DBUILD_TESTING=ON >/dev/null
	@$(SANITIZER_ENV) cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

fuzz-build: deps
	@cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DTEXTCNV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS) --target textcnv_fuzzers

# Each target runs for FUZZ_SECONDS on its seeds (fuzz/corpus/<target>, only
# read) and what it found before ($(FUZZ)/corpus/<target>, where new inputs
# go). A finding fails the run, its input saved in $(FUZZ)/findings.
fuzz: fuzz-build
	@mkdir -p $(FUZZ)/findings
	@failed=""; for t in $(FUZZERS); do \
	  mkdir -p $(FUZZ)/corpus/$$t; \
	  log=$(FUZZ)/$$t.log; \
	  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./$(FUZZ)/fuzz/$$t \
	       -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	       -artifact_prefix=$(FUZZ)/findings/$$t- \
	       $(FUZZ)/corpus/$$t fuzz/corpus/$$t >$$log 2>&1; then \
	    echo "$$t: $$(grep -E '^Done [0-9]+ runs' $$log)"; \
	  else \
	    tail -n 60 $$log; echo "$$t: FAILED (log: $$log)"; failed="$$failed $$t"; \
	  fi; \
	done; \
	if [ -n "$$failed" ]; then echo "Fuzzing found faults in:$$failed"; exit 1; fi

fuzz-smoke:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS)

# The window bench is there only where Qt is.
bench: deps
	@cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	@setsid ./$(RELEASE)/bench/textcnv-bench
	@if [ -x ./$(RELEASE)/bench/textcnv-window-bench ]; then \
	  echo "The window converting 1,000,000 records:"; \
	  ./$(RELEASE)/bench/textcnv-window-bench bench/data/1000000; \
	  ./$(RELEASE)/bench/textcnv-findings-bench 100000; \
	fi

# A picture of the window after a run over the sample folder, for the README.
screenshot: build
	@bash scripts/screenshot.sh samples/basic docs/screenshot.png

# ICU and qtbase for x86_64 Windows, built once into a cache outside the tree
# (TEXTCNV_WINDOWS_CACHE, /var/cache/textcnv-windows by default).
windows-toolchain:
	@bash scripts/windows/toolchain.sh

# TextCnv.exe and textcnv-batch.exe with what they need in dist/windows/,
# a zip of it and an installer (TextCnv-<version>-x64.msi) in dist/.
windows:
	@bash scripts/windows/build.sh

# The engine tests under wine, the command line compared byte for byte with
# the Linux build, the installer, the single-instance guard, and a picture
# of the window.
windows-test: build windows
	@bash scripts/windows/test.sh $(BUILD)

# The Windows toolchain takes about an hour to build: the suite checks the
# Windows build where it is already there, or where a packed one for this
# machine's key lies in WINDOWS_TOOLCHAIN_ARCHIVES (its packages installed,
# then unpacked in a few seconds).
WINDOWS_TOOLCHAIN_ARCHIVES ?= $(CURDIR)/../shared/windows-toolchain
windows-test-if-cached:
	@dir=$$(bash scripts/windows/toolchain.sh --print-dir 2>/dev/null); \
	if [ -n "$$dir" ] && [ -f "$$dir/stamps/check.done" ]; then \
	  $(MAKE) --no-print-directory windows-test; \
	else \
	  status=0; \
	  bash scripts/windows/toolchain.sh --unpack "$(WINDOWS_TOOLCHAIN_ARCHIVES)" || status=$$?; \
	  case $$status in \
	    0) $(MAKE) --no-print-directory windows-test ;; \
	    3) echo "Windows build not checked: no Windows toolchain here ('make windows-toolchain' builds it, about an hour)." ;; \
	    *) exit $$status ;; \
	  esac; \
	fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(RELEASE) $(ASAN) $(FUZZ) build-windows build-windows-test dist
