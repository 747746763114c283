# Tarvela: `make run`, `make test`, `make bench`, `make install`, `make deb`.
# Each installs what it needs first.
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_GEN = -G Ninja
BUILD = build

.PHONY: all deps build test test-plain test-asan test-tsan bench run clean install uninstall deb

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The plain suite, then the whole suite under AddressSanitizer + UBSan, then the
# threaded tests under ThreadSanitizer.
test: test-plain test-asan test-tsan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTARVELA_SANITIZE=asan -DTARVELA_BUILD_BENCH=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900

test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELA_SANITIZE=tsan -DTARVELA_BUILD_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target tarvela_thread_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L threads --timeout 900

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target tarvela_benches
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; out=$$($$b --benchmark_min_time=0.01 2>&1); st=$$?; \
	  printf '%s\n' "$$out" | grep -E '^BENCH '; \
	  if [ $$st -ne 0 ]; then printf '%s\n' "$$out" | tail -20; echo "$$b failed ($$st)"; exit 1; fi; done

# Only the executable and what ships beside it; DESTDIR stages the files elsewhere.
install: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tarvela tarvela_docs
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)
	@# Packing and the tests install too; this copy is what the user installed.
	cp $(BUILD)/install_manifest.txt $(BUILD)/installed-files.txt

# Removes what the last `make install` (with the same DESTDIR) put in place.
uninstall:
	DESTDIR="$(DESTDIR)" cmake -DMANIFEST=$(BUILD)/installed-files.txt -P packaging/uninstall.cmake

# $(BUILD)/deb/tarvela_<version>_<arch>.deb
deb: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tarvela tarvela_docs
	cd $(BUILD) && cpack -G DEB

run: build
	@bash scripts/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-tsan
