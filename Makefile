# TextCnv: make run | make test | make bench
BUILD   ?= build
RELEASE ?= build-release
JOBS    ?= $(shell nproc)

.PHONY: deps configure build run test bench format clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/TextCnv

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)
	@if [ -x $(RELEASE)/bench/textcnv-bench ]; then ./$(RELEASE)/bench/textcnv-bench; \
	 else echo "The benchmark is not built yet."; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(RELEASE)
