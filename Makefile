# Korvex: build, test and demo entry points. Each target does its own set-up.
#   make test    install what is missing, build both architectures and the native build, run
#                every test under Wine, then the native suite without it; a host that cannot
#                run 32-bit programs runs the 64-bit suite only, and make test ARCHS=win64 does
#                the same anywhere
#   make demo    build, start the simulated board and run the demonstration against it
#   make bench   build and run the benchmarks
#   make fuzz    build and feed the engine many mutated answers (KORVEX_FUZZ_CASES, _SEED)
#   make soak    build and run the long fault soak against the simulated board (KORVEX_SOAK_OPS)
#   make dist    build the packages for integrators into dist/: both installers, the zip and
#                kxctl's Debian package
#   make packages  print the names make dist gives them
SHELL := /bin/bash
ROOT := $(abspath .)
BUILD := $(ROOT)/build
NATIVE := $(BUILD)/native
# The native build: the relay board link, its tests and its benchmark, for this system.
LINUX := $(BUILD)/linux
RIG := $(ROOT)/tools/rig.sh
# Both architectures are always built; ARCHS names those whose programs are run.
BUILD_ARCHS := win32 win64
ARCHS ?= win32 win64
export KORVEX_ARCHS := $(ARCHS)
JOBS ?= 2

toolchain_win32 := $(ROOT)/cmake/toolchain-i686.cmake
toolchain_win64 := $(ROOT)/cmake/toolchain-x86_64.cmake

.PHONY: all setup native build build-linux test-linux prefix quiet-build test demo bench fuzz \
        soak dist packages clean format

all: build

setup:
	@bash $(ROOT)/tools/setup-host.sh

# Native tools: the simulated board, the line shim of both classes, and the probe that tells
# whether this host runs 32-bit code (building it needs no 32-bit code to run).
SHIM_SRC := $(ROOT)/tools/lineshim/lineshim.c
SIM_SRC := $(wildcard $(ROOT)/tools/boardsim/*.cpp $(ROOT)/tools/boardsim/*.h)
NATIVE_OUT := $(NATIVE)/boardsim $(NATIVE)/lib/x86_64-linux-gnu/liblineshim.so \
              $(NATIVE)/lib/i386-linux-gnu/liblineshim.so $(NATIVE)/probe32

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

$(NATIVE)/probe32: $(ROOT)/tools/probe32/probe32.c
	@mkdir -p $(@D)
	gcc -m32 -O2 -Wall -Wextra -Werror -nostdlib -static -o $@ $<

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
$(foreach a,$(BUILD_ARCHS),$(eval $(call arch_rules,$(a))))

# The native build, configured once; its tests need the simulated board and the line shim.
build-linux: native
	@if [ ! -f $(LINUX)/CMakeCache.txt ]; then \
	  cmake -S $(ROOT) -B $(LINUX) -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
	        -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_ROOT=$(BUILD) >/dev/null; fi
	@cmake --build $(LINUX) -j $(JOBS) -- --no-print-directory -s
test-linux: build-linux
	@cd $(LINUX) && ctest --output-on-failure --timeout 900

build: native $(BUILD_ARCHS:%=build-%) build-linux

prefix: native
	@$(RIG) prefix

# Ends with one line per suite: how many passed, or why it did not run.
test: build prefix
	@bash $(ROOT)/tools/suites.sh $(BUILD)

# The long runs build quietly; the build's log is shown only when the build fails.
quiet-build:
	@mkdir -p $(BUILD)
	@$(MAKE) --no-print-directory build prefix >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; exit 1; }

# The long runs use the architectures whose programs run here (ARCHS and the host decide):
# demo and bench the first of them, the 32-bit build where it runs. Their first line names the
# builds they use and why one is left out. $(call runs_on,WHAT,one|all) sets $$archs, and asks
# the host once for the whole run.
define runs_on
KORVEX_HOST32=$$($(RIG) host32) || exit 1; export KORVEX_HOST32; archs=$$($(RIG) archs) || exit 1; [ -n "$$archs" ] || { echo "$(1): no build can run here"; exit 1; }; \
[ $(2) = one ] && archs=$${archs%% *}; \
names=$$(echo "$$archs" | sed 's/win32/32-bit/; s/win64/64-bit/; s/ / and /'); \
case " $$archs " in *" win32 "*) why= ;; *) why="; not the 32-bit one: $$($(RIG) why win32)" ;; esac; \
echo "$(1): the $$names build$$([ "$${archs#* }" = "$$archs" ] || echo s)$$why"
endef

demo: quiet-build
	@$(call runs_on,demo,one); bash $(ROOT)/tools/demo.sh $(BUILD)/$$archs

# The Windows figures, then the native engine's.
bench: quiet-build
	@($(call runs_on,bench,one); bash $(ROOT)/bench/run.sh $(BUILD)/$$archs; $(RIG) shutdown); \
	  status=$$?; echo; bash $(ROOT)/bench/run-native.sh $(LINUX) && exit $$status

# About 2 to 3 minutes an architecture at the default 50 million answers.
fuzz: quiet-build
	@$(call runs_on,fuzz,all); status=0; for a in $$archs; do \
	  echo "== answer fuzz, $$a"; \
	  KORVEX_FUZZ_CASES=$${KORVEX_FUZZ_CASES:-50000000} $(RIG) wine \
	    $(BUILD)/$$a/tests/fuzz/fuzz_tests.exe --gtest_brief=1 || status=1; \
	done; $(RIG) shutdown; exit $$status

# About 3 minutes an architecture at the default 2000 operations.
soak: quiet-build
	@$(call runs_on,soak,all); status=0; for a in $$archs; do \
	  echo "== fault soak, $$a"; \
	  (cd $(BUILD)/$$a && KORVEX_SOAK_OPS=$${KORVEX_SOAK_OPS:-2000} \
	    ctest -R soak_tests -V --timeout 900 >soak.log 2>&1); s=$$?; \
	  sed -n 's/^[0-9]*: //p' $(BUILD)/$$a/soak.log | grep -E '^(soak:|  |.*Failure|operation )'; \
	  [ $$s -eq 0 ] || status=1; \
	done; $(RIG) shutdown; exit $$status

# Each build makes its own architecture's installer; the zip takes both builds. The packages are
# named with the driver's version, written once in the top CMakeLists.txt.
VERSION := $(shell sed -n 's/^set(KORVEX_VERSION \([0-9.]*\))$$/\1/p' $(ROOT)/CMakeLists.txt)
MSI_X86 := korvex-$(VERSION)-x86.msi
MSI_X64 := korvex-$(VERSION)-x64.msi
ZIP := korvex-$(VERSION).zip
DEB := korvex-kxctl_$(VERSION)_$(shell dpkg --print-architecture).deb
DIST := $(ROOT)/dist
dist: build
	@mkdir -p $(DIST)
	@cp $(BUILD)/win32/dist/$(MSI_X86) $(BUILD)/win64/dist/$(MSI_X64) $(DIST)/
	@bash $(ROOT)/tools/dist/mkdist.sh zip $(VERSION) $(BUILD)/win32 $(BUILD)/win64 $(DIST)/$(ZIP)
	@bash $(ROOT)/tools/dist/deb/mkdeb.sh $(VERSION) $(LINUX)/kxctl/kxctl $(DIST) >/dev/null
	@cd $(DIST) && ls -l $(MSI_X86) $(MSI_X64) $(ZIP) $(DEB)

# The names make dist gives the packages.
packages:
	@echo $(MSI_X86) $(MSI_X64) $(ZIP) $(DEB)

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

# A test's read-only program folder is immutable until its run ends; a stopped run may leave one.
clean:
	@chattr -R -i $(BUILD) 2>/dev/null || true
	rm -rf $(BUILD) $(DIST)
