# The two commands of the suite: `make run` and `make test`. Each does the whole set-up on a
# fresh Debian 12 machine: missing packages, locales, configure, build.

BUILD    ?= build
ASAN     ?= build-asan
FUZZ     ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS     ?= 2
PREFIX   ?= $(HOME)/.local
export TARV_WINDIR ?= $(or $(XDG_DATA_HOME),$(HOME)/.local/share)/tarv

PACKAGES := build-essential cmake pkg-config qt6-base-dev qt6-translations-l10n libgl-dev \
            libsqlite3-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev \
            libzxing-dev libzint-dev fonts-liberation2 locales xauth \
            python3 python3-aiosmtpd python3-stdnum swaks util-linux iproute2 \
            cups-client xdg-utils \
            clang libclang-rt-14-dev \
            libssl-dev openssl libsecret-1-dev libio-socket-ssl-perl libnet-ssleay-perl msmtp \
            gnome-keyring dbus-daemon \
            xvfb python3-xlib pigz \
            python3-dev python3-pyqt6
LOCALES  := it_IT.UTF-8 en_US.UTF-8

.PHONY: all deps locales configure build test test-asan fuzz install run bench clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing: $$missing"; \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	  else \
	    echo "Some packages are missing. Install them as root with:"; \
	    echo "  sudo apt-get install -y $$(echo $$missing)"; \
	    exit 1; \
	  fi; \
	fi
	@for l in $(LOCALES); do \
	  if ! locale -a 2>/dev/null | sed 's/utf8/UTF-8/' | grep -qx "$$l"; then \
	    if [ "$$(id -u)" = 0 ]; then \
	      sed -i "s/^# *$$l UTF-8/$$l UTF-8/" /etc/locale.gen; \
	      grep -q "^$$l UTF-8" /etc/locale.gen || echo "$$l UTF-8" >> /etc/locale.gen; \
	      locale-gen >/dev/null; \
	    else \
	      echo "note: locale $$l is missing; the locale tests that need it are skipped"; \
	    fi; \
	  fi; \
	done

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARV_BENCH=ON

configure: deps $(BUILD)/CMakeCache.txt

# Builds are serialised machine-wide: two compilers at once on a small machine only slow both.
build: configure
	flock /tmp/tarv-build.lock cmake --build $(BUILD) -j $(JOBS)

# Cases that skip themselves are counted and listed by ctest, and their reasons follow.
test: build
	cd $(BUILD) && { ctest --output-on-failure -j $(JOBS); s=$$?; \
	  /usr/bin/python3 $(CURDIR)/cmake/skipped.py Testing/Temporary/LastTest.log; exit $$s; }

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer. Only the
# leaks of libraries we do not build (fontconfig, Qt's caches) are suppressed, in
# cmake/lsan-suppressions.txt; the tests get the sanitizer settings from ctest.
$(ASAN)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTARV_SANITIZE=ON

test-asan: deps $(ASAN)/CMakeCache.txt
	flock /tmp/tarv-build.lock cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && { ctest --output-on-failure -j $(JOBS); s=$$?; \
	  /usr/bin/python3 $(CURDIR)/cmake/skipped.py Testing/Temporary/LastTest.log; exit $$s; }

# Each fuzz target for FUZZ_SECONDS under libFuzzer (clang), with both sanitizers. Only the
# libraries the targets test are built.
$(FUZZ)/CMakeCache.txt: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=Debug -DTARV_FUZZ=ON

fuzz: deps $(FUZZ)/CMakeCache.txt
	flock /tmp/tarv-build.lock cmake --build $(FUZZ) -j $(JOBS) --target fuzzers
	fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS)

# The Python package goes where Debian's /usr/bin/python3 finds it: the user site when it lies
# under PREFIX (the default ~/.local), else lib/python3/dist-packages under PREFIX (reached with
# PYTHONPATH). Never outside PREFIX.
PYTHON_USER_SITE = $(shell /usr/bin/python3 -c 'import site; print(site.getusersitepackages())' 2>/dev/null)
PYTHON_DIR = $(or $(patsubst $(abspath $(PREFIX))/%,%,$(filter $(abspath $(PREFIX))/%,$(PYTHON_USER_SITE))),lib/python3/dist-packages)

install: build
	cmake -DTARV_PYTHON_INSTALL_DIR=$(PYTHON_DIR) $(BUILD) >/dev/null
	cmake --install $(BUILD) --prefix $(PREFIX)
	mkdir -p "$(TARV_WINDIR)/system"
	install -m 0755 $(BUILD)/mailer/velinor "$(TARV_WINDIR)/system/velinor"
	ln -sf "$(TARV_WINDIR)/system/velinor" "$(PREFIX)/bin/velinor"
	mkdir -p "$(PREFIX)/share/applications"
	sed 's|@VELINOR@|$(TARV_WINDIR)/system/velinor|' mailer/resources/velinor.desktop.in \
	  > "$(PREFIX)/share/applications/velinor.desktop"
	@if [ -x "$(PREFIX)/bin/tarv-regsvr" ]; then \
	  for lib in $(PREFIX)/lib/libTarvUtility.so $(PREFIX)/lib/libTarvBarcode.so $(PREFIX)/lib/libZlibTool.so; do \
	    [ -f $$lib ] && "$(PREFIX)/bin/tarv-regsvr" $$lib || true; done; fi
	@echo "Velinor installed in $(TARV_WINDIR)/system; tools in $(PREFIX)/bin"
	@echo "Python package tarv in $(abspath $(PREFIX))/$(PYTHON_DIR)$(if $(filter lib/python3/dist-packages,$(PYTHON_DIR)), (PYTHONPATH=$(abspath $(PREFIX))/$(PYTHON_DIR) for /usr/bin/python3),)"

run: install
	"$(TARV_WINDIR)/system/velinor"

bench: build
	$(BUILD)/bench/run-all

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ)
