# Two commands start everything: `make run` and `make test`. Both install the
# Debian packages first; `make` alone only builds.
BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test sanitize soak fuzz bench voice-eval deb clean

all: build

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: deps build
	$(BUILD)/bin/parlavox

test: deps build
	scripts/run-tests $(BUILD) -j$(JOBS)
	scripts/fuzz-smoke

sanitize: deps
	scripts/sanitize

# A day of use in a minute (make test runs one simulated hour of it).
soak: deps build
	QT_QPA_PLATFORM=offscreen SOAK_HOURS=24 $(BUILD)/bin/soak_test

fuzz: deps
	scripts/fuzz-long

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DPARLAVOX_BENCH=ON
	cmake --build $(BUILD)-bench -j$(JOBS) --target benchmarks
	scripts/run-benchmarks $(BUILD)-bench

# Voice commands spoken by every English espeak-ng voice, figures on voices
# left out of calibration. Renderings are cached in $(BUILD)/voice-eval-cache;
# VOICE_EVAL_ARGS="--every 4" for a quicker look.
voice-eval: deps build
	nice -n 5 $(BUILD)/bin/voice-eval --cache $(BUILD)/voice-eval-cache --jobs 2 $(VOICE_EVAL_ARGS)

# The Debian package: $(BUILD)/parlavox_<version>_amd64.deb.
deb: deps build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-sanitize
