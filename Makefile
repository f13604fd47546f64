# Front door: `make demo` builds and plays the demo, `make test` builds and
# runs every test. Both install the Debian packages they need first.

BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Everything a fresh Debian 12 needs to build, run and test the demo.
PACKAGES = g++ cmake pkg-config make python3 \
  libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libgles2 \
  libmpg123-dev liblodepng-dev libgtest-dev \
  lame ffmpeg imagemagick fonts-dejavu-core clang libclang-rt-14-dev \
  libfreetype-dev fonts-terminus-otb \
  xvfb xdotool xfonts-base libx11-dev \
  help2man desktop-file-utils dpkg-dev parallel \
  pulseaudio pulseaudio-utils libpulse-dev
# What building and checking the Debian package on a fresh root needs besides.
PACKAGE_TEST_PACKAGES = lintian debootstrap
# What building and testing the web page needs (Node.js and npm from Debian
# unless a Node.js with npm is installed already); `make deps` installs it too.
WEB_PACKAGES = emscripten chromium firefox-esr $(if $(shell command -v npm 2>/dev/null),,nodejs npm)
WEB_BUILD_DIR ?= build-web
# Debian's emcc runs its JavaScript tools with Debian's node modules.
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs

PREFIX ?= /usr/local

.PHONY: all deps deps-package deps-web web serve-web test-web build demo test avsync avsync-page test-asan install deb test-package assets scenes bench mutants clean

all: build

deps: PACKAGES += $(WEB_PACKAGES)
deps-package: PACKAGES += $(PACKAGE_TEST_PACKAGES)
deps-web: PACKAGES += $(WEB_PACKAGES)
deps deps-package deps-web:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -z "$$missing" ]; then echo "deps: all packages present"; exit 0; fi; \
	echo "deps: installing:" $$missing; \
	if [ "$$(id -u)" = 0 ]; then SUDO=; \
	elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then SUDO=sudo; \
	else echo "deps: not root and no sudo; please run:"; \
	  echo "  apt-get update && apt-get install -y" $$missing; exit 1; fi; \
	$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	./$(BUILD_DIR)/tarnwick

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# How far the picture is from the sound, through a PulseAudio server of its
# own on Xvfb (tools/avsync/avsync.sh): the demo's own output, then SDL's
# pulseaudio driver, each as is and with 200 ms of buffering that the server
# reports.
avsync: build
	@for args in "" "--sdl" "--latency-msec 200" "--sdl --latency-msec 200"; do \
	  echo "== avsync $$args"; \
	  sh tools/avsync/avsync.sh $(BUILD_DIR) data --seconds 25 $$args || exit 1; \
	done

# The same for the web page in headless chromium, as is and with 200 ms of
# buffering on the browser's stream.
avsync-page: web build
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	@for args in "" "--latency-msec 200"; do \
	  echo "== avsync --page $$args"; \
	  sh tools/avsync/avsync.sh $(BUILD_DIR) data --seconds 25 --page $(WEB_BUILD_DIR)/public $$args || exit 1; \
	done

# Installs the programs, the data, the desktop entry, the icon and the man
# pages under PREFIX (default /usr/local); DESTDIR stages them elsewhere.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX) --strip

# The Debian package, tarnwick_<version>_amd64.deb, in the build folder.
deb: build
	cd $(BUILD_DIR) && cpack -G DEB

# The package checked as a user meets it: its contents, its Depends and
# lintian, then installed with apt-get on a fresh Debian 12 root and played
# there from /. Takes a few minutes (the fresh root is downloaded).
test-package: deps-package deb
	bash tests/package/test_package.sh $(BUILD_DIR)

# The demo as a web page: build-web/public/ holds index.html, the program
# (.js and .wasm) and the data, and is all a static host needs.
web: deps-web $(WEB_BUILD_DIR)/lodepng/lodepng.cpp
	$(EMSCRIPTEN_ENV) emcmake cmake -S web -B $(WEB_BUILD_DIR) -DLODEPNG_SOURCE_DIR=$(abspath $(WEB_BUILD_DIR))/lodepng
	$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD_DIR) -j $(JOBS)

$(WEB_BUILD_DIR)/lodepng/lodepng.cpp:
	bash web/fetch-lodepng.sh $(WEB_BUILD_DIR)/lodepng

# The page on http://127.0.0.1:8000/ until Ctrl+C.
serve-web: web
	@echo "serve-web: open http://127.0.0.1:8000/ (Ctrl+C stops it)"
	cd $(WEB_BUILD_DIR)/public && python3 -m http.server 8000 --bind 127.0.0.1

# The page in headless chromium and in firefox-esr (in a window on an Xvfb of
# the test's own): shots of every scene against the native capture, the start
# screen, a run on its clock, Escape, broken data, no sound device, hidden
# tabs, lost WebGL, and (chromium) a phone. TARNWICK_ENGINES=chromium (or
# firefox) runs one engine.
test-web: web build
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	TARNWICK_PUBLIC=$(abspath $(WEB_BUILD_DIR))/public \
	TARNWICK_CAPTURE=$(abspath $(BUILD_DIR))/tools/capture/tarnwick-capture \
	  node --test tests/web/

# Every test again, built with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer, plus the whole shipped demo played headless at real
# speed; any finding fails it. The sanitizer options are set by CTest.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

assets: build
	./$(BUILD_DIR)/tools/assetgen/tarnwick-assetgen --sheet docs/contact-sheet.png data

# docs/scenes.png: a shot of every scene, rendered offline from the shipped data.
scenes: build
	bash tools/capture/scenes_sheet.sh $(BUILD_DIR)/tools/capture/tarnwick-capture docs/scenes.png

# The time every scene takes to draw on this machine, at 1280x720 and 60 fps.
bench: build
	./$(BUILD_DIR)/tools/capture/tarnwick-capture --bench

# Single-token faults planted in every layer, one at a time, each against that
# layer's own tests (in build-mutants/); prints which ones survive and a table
# per layer. A check of the tests themselves, not part of `make test`.
# MUTANTS_ARGS narrows it, e.g. MUTANTS_ARGS="--layer sync --sample 20".
mutants: deps
	nice -n 10 python3 tools/mutants/mutants.py $(MUTANTS_ARGS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(WEB_BUILD_DIR)
