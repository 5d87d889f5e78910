# Two commands for people: `make run` builds and starts the emulator, `make test`
# builds and runs every test (optimised, then under the address and undefined-
# behaviour sanitizers, then under the thread sanitizer, then the Windows build
# under Wine). `make test-windows` runs only the last.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Wine with its prefix in the build folder. A Wine helper started by the first test
# would inherit ctest's output pipe and hold it open, so the server is started
# beforehand, quietly, and stopped afterwards.
WINE_ENV = WINEPREFIX=$(CURDIR)/build/windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
QUIET = </dev/null >/dev/null 2>&1

# Formatting (clang-format) and the scripts' linters (shellcheck, flake8); `scripts/lint --fix`
# reformats the C++ files. clang-tidy is `make tidy`: it takes a quarter of an hour on two
# cores, too long for every test run.
lint: deps
	scripts/lint

tidy: release
	clang-tidy -p build/release --quiet --extra-arg=-Wno-unknown-warning-option \
	  $$(git ls-files 'src/*.cpp' 'tools/*.cpp' | grep -v -e /win32/ -e win32_)

.PHONY: lint tidy run test test-windows deps deps-windows release debug tsan windows bench fuzz catalogue golden clean

run: release
	./build/release/src/app/quillomar

test: lint release debug tsan
	ctest --preset release -j $(JOBS)
	ctest --preset debug -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
	$(MAKE) test-windows

test-windows: windows
	$(WINE_ENV) sh -c 'wineserver -p $(QUIET); wine wineboot $(QUIET); \
	  ctest --preset windows -j $(JOBS); status=$$?; wineserver -k $(QUIET); exit $$status'

bench: release
	./build/release/bench/quill_bench
	python3 bench/latency.py build/release

# Needs clang (not part of `make test`): fuzzes machine_run against machine_step and
# the assembler against the disassembler for a minute each, then the image readers
# for half a minute.
FUZZ = ./build/fuzz/tests/fuzz
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) --target run_fuzzer asm_fuzzer image_fuzzer
	mkdir -p build/fuzz/corpus build/fuzz/asm_corpus build/fuzz/image_corpus
	$(FUZZ)/run_fuzzer -max_total_time=60 build/fuzz/corpus tests/fuzz/corpus
	$(FUZZ)/asm_fuzzer -max_total_time=60 -max_len=4096 build/fuzz/asm_corpus tests/fuzz/asm_corpus
	$(FUZZ)/image_fuzzer -max_total_time=30 -max_len=1024 build/fuzz/image_corpus tests/fuzz/image_corpus

# Rewrites the files written from the catalogues (programs/lib/{host,keys,colors}.tasm,
# the tables of docs/host-calls.md) after a change to src/host/host_calls.h or key_codes.h.
catalogue: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target catalogue

release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

debug: deps
	cmake --preset debug >/dev/null
	cmake --build --preset debug -j $(JOBS)

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)

windows: deps-windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

deps:
	@scripts/install-deps

deps-windows:
	@scripts/install-deps windows

clean:
	rm -rf build

# Rewrites the golden pictures (tests/tools/golden/*.png) from the programs as they
# are now; look at the new pictures before committing them.
golden: release
	QUILL_UPDATE_GOLDEN=1 ctest --preset release -R 'Pictures'
