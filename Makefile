# Two commands for people: `make run` builds and starts the emulator, `make test`
# builds and runs every test (optimised, then under the address and undefined-
# behaviour sanitizers, then under the thread sanitizer).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test deps release debug tsan bench clean

run: release
	./build/release/src/app/quillomar

test: release debug tsan
	ctest --preset release -j $(JOBS)
	ctest --preset debug -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

bench: release
	./build/release/bench/quill_bench

release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

debug: deps
	cmake --preset debug >/dev/null
	cmake --build --preset debug -j $(JOBS)

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)

deps:
	@scripts/install-deps

clean:
	rm -rf build
