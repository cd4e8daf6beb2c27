# Korvex: build, test and demo entry points. Each target does its own set-up.
#   make test    install what is missing, build both architectures, run every test under Wine
#   make demo    build, start the simulated board and run the demonstration against it
#   make bench   build and run the benchmarks
#   make fuzz    build and feed the engine many mutated answers (KORVEX_FUZZ_CASES, _SEED)
#   make soak    build and run the long fault soak against the simulated board (KORVEX_SOAK_OPS)
#   make dist    build the packages for integrators into dist/: both installers and the zip
SHELL := /bin/bash
ROOT := $(abspath .)
BUILD := $(ROOT)/build
NATIVE := $(BUILD)/native
RIG := $(ROOT)/tools/rig.sh
ARCHS := win32 win64
JOBS ?= 2

toolchain_win32 := $(ROOT)/cmake/toolchain-i686.cmake
toolchain_win64 := $(ROOT)/cmake/toolchain-x86_64.cmake

.PHONY: all setup native build prefix quiet-build test demo bench fuzz soak dist clean format

all: build

setup:
	@bash $(ROOT)/tools/setup-host.sh

# Native tools: the simulated board and the line shim of both classes.
SHIM_SRC := $(ROOT)/tools/lineshim/lineshim.c
SIM_SRC := $(wildcard $(ROOT)/tools/boardsim/*.cpp $(ROOT)/tools/boardsim/*.h)
NATIVE_OUT := $(NATIVE)/boardsim $(NATIVE)/lib/x86_64-linux-gnu/liblineshim.so \
              $(NATIVE)/lib/i386-linux-gnu/liblineshim.so

native: setup $(NATIVE_OUT)

$(NATIVE)/boardsim: $(SIM_SRC)
	@mkdir -p $(@D)
	g++ -std=c++17 -O2 -Wall -Wextra -Werror -o $@ $(filter %.cpp,$(SIM_SRC))

$(NATIVE)/lib/x86_64-linux-gnu/liblineshim.so: $(SHIM_SRC)
	@mkdir -p $(@D)
	gcc -m64 -O2 -Wall -Wextra -Werror -shared -fPIC -o $@ $< -ldl

$(NATIVE)/lib/i386-linux-gnu/liblineshim.so: $(SHIM_SRC)
	@mkdir -p $(@D)
	gcc -m32 -O2 -Wall -Wextra -Werror -shared -fPIC -o $@ $< -ldl

# One CMake build per architecture, configured once.
define arch_rules
.PHONY: build-$(1) test-$(1)
build-$(1): setup
	@if [ ! -f $(BUILD)/$(1)/CMakeCache.txt ]; then \
	  cmake -S $(ROOT) -B $(BUILD)/$(1) -DCMAKE_TOOLCHAIN_FILE=$(toolchain_$(1)) \
	        -DCMAKE_BUILD_TYPE=Release >/dev/null; fi
	@cmake --build $(BUILD)/$(1) -j $(JOBS) -- --no-print-directory -s
test-$(1): build prefix
	@cd $(BUILD)/$(1) && ctest --output-on-failure --timeout 900; s=$$$$?; $(RIG) shutdown; exit $$$$s
endef
$(foreach a,$(ARCHS),$(eval $(call arch_rules,$(a))))

build: native $(ARCHS:%=build-%)

prefix: native
	@$(RIG) prefix

test: build prefix
	@status=0; for a in $(ARCHS); do \
	  echo "== tests, $$a"; \
	  (cd $(BUILD)/$$a && ctest --output-on-failure --timeout 900) || status=1; \
	done; $(RIG) shutdown; exit $$status

# The long runs build quietly; the build's log is shown only when the build fails.
quiet-build:
	@mkdir -p $(BUILD)
	@$(MAKE) --no-print-directory build prefix >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; exit 1; }

demo: quiet-build
	@bash $(ROOT)/tools/demo.sh $(BUILD)/win32

bench: build prefix
	@bash $(ROOT)/bench/run.sh $(BUILD)/win32; $(RIG) shutdown

# About 2 to 3 minutes an architecture at the default 50 million answers.
fuzz: quiet-build
	@status=0; for a in $(ARCHS); do \
	  echo "== answer fuzz, $$a"; \
	  KORVEX_FUZZ_CASES=$${KORVEX_FUZZ_CASES:-50000000} $(RIG) wine \
	    $(BUILD)/$$a/tests/fuzz/fuzz_tests.exe --gtest_brief=1 || status=1; \
	done; $(RIG) shutdown; exit $$status

# About 3 minutes an architecture at the default 2000 operations.
soak: quiet-build
	@status=0; for a in $(ARCHS); do \
	  echo "== fault soak, $$a"; \
	  (cd $(BUILD)/$$a && KORVEX_SOAK_OPS=$${KORVEX_SOAK_OPS:-2000} \
	    ctest -R soak_tests -V --timeout 900 >soak.log 2>&1); s=$$?; \
	  sed -n 's/^[0-9]*: //p' $(BUILD)/$$a/soak.log | grep -E '^(soak:|  |.*Failure|operation )'; \
	  [ $$s -eq 0 ] || status=1; \
	done; $(RIG) shutdown; exit $$status

# Each build makes its own architecture's installer; the zip takes both builds.
VERSION := $(shell sed -n 's/^set(KORVEX_VERSION \([0-9.]*\))$$/\1/p' $(ROOT)/tools/dist/CMakeLists.txt)
DIST := $(ROOT)/dist
dist: build
	@mkdir -p $(DIST)
	@cp $(BUILD)/win32/dist/korvex-$(VERSION)-x86.msi $(BUILD)/win64/dist/korvex-$(VERSION)-x64.msi $(DIST)/
	@bash $(ROOT)/tools/dist/mkdist.sh zip $(VERSION) $(BUILD)/win32 $(BUILD)/win64 \
	  $(DIST)/korvex-$(VERSION).zip
	@cd $(DIST) && ls -l korvex-$(VERSION)-x86.msi korvex-$(VERSION)-x64.msi korvex-$(VERSION).zip

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(DIST)
