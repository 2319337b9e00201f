# The two everyday commands: `make run` and `make test`.
.PHONY: all deps configure build run test test-sanitize fuzz pictures clean install package

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default

run: build
	./build/korvanel

test: build
	ctest --preset default

# Installs the programs, the launcher, the icons and the documentation under PREFIX
# (/usr/local unless given: make install PREFIX=/opt/korvanel); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	cmake --install build --prefix "$(PREFIX)"

# The Debian package, build/korvanel_VERSION_ARCH.deb (installs under /usr).
package: build
	cmake --build --preset default --target package

# The thread sanitizer runs the test programs of the labels in its test preset, and builds
# only those and the programs their tests start.
TSAN_TARGETS = test_engine test_tls test_logging test_checker test_platform korvanel \
    korvanel-check korvanel-checker
test-sanitize: deps
	cmake --preset asan >/dev/null && cmake --build --preset asan && ctest --preset asan
	cmake --preset tsan >/dev/null && cmake --build --preset tsan --target $(TSAN_TARGETS) && ctest --preset tsan

# Every libFuzzer target for 60 s (FUZZ_SECONDS=10 make fuzz for a short run), built with
# clang in build-fuzz/.
fuzz: deps
	bash fuzz/run.sh

# Redraws the pictures under resources/ (kept in the repository).
pictures: configure
	@cmake --build --preset default --target draw_pictures
	QT_QPA_PLATFORM=offscreen ./build/draw_pictures resources

clean:
	rm -rf build build-asan build-tsan build-fuzz

# Speed and memory beside the peer proxies; installs its own tools (needs root).
.PHONY: bench
bench: build
	python3 bench/bench.py
