# The two commands of the suite: `make run` and `make test`. Each does the whole set-up on a
# fresh Debian 12 machine: missing packages, locales, configure, build.

BUILD    ?= build
ASAN     ?= build-asan
FUZZ     ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS     ?= 2
PREFIX   ?= $(HOME)/.local
export TARV_WINDIR ?= $(or $(XDG_DATA_HOME),$(HOME)/.local/share)/tarv

# What building and running the suite needs (make run, make install, make package) ...
RUN_PACKAGES := build-essential cmake pkg-config qt6-base-dev qt6-translations-l10n libgl-dev \
            libsqlite3-dev zlib1g-dev libssl-dev libsecret-1-dev fonts-liberation2 \
            cups-client xdg-utils python3 python3-dev
# ... and what only the tests, benchmarks, fuzzers and packages need (make test and the rest).
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libzint-dev \
            locales xauth python3 python3-aiosmtpd python3-stdnum swaks util-linux iproute2 \
            clang libclang-rt-14-dev openssl libio-socket-ssl-perl libnet-ssleay-perl msmtp \
            gnome-keyring dbus-daemon xvfb python3-xlib man-db dpkg-dev file pigz python3-pyqt6
PACKAGES := $(RUN_PACKAGES) $(TEST_PACKAGES)
PACKAGE_PACKAGES := $(RUN_PACKAGES) dpkg-dev file
LOCALES  := it_IT.UTF-8 en_US.UTF-8

.PHONY: all deps deps-run deps-package locales configure build build-run test test-asan fuzz install install-files uninstall run bench package clean

all: build

# Installs the missing ones of $(1) (as root), or says the line to run (anyone else).
define install_packages
	@missing=$$(for p in $(1); do \
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
endef

deps-run:
	$(call install_packages,$(RUN_PACKAGES))

deps-package:
	$(call install_packages,$(PACKAGE_PACKAGES))

deps:
	$(call install_packages,$(PACKAGES))
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

# make run configures without the tests (no GoogleTest needed) and builds only what runs;
# make test turns them on in the same folder, reusing what is built.
$(BUILD)/CMakeCache.txt: | deps-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARV_TESTS=OFF

configure: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DTARV_TESTS=ON -DTARV_BENCH=ON

# Builds are serialised machine-wide: two compilers at once on a small machine only slow both.
build: configure
	flock /tmp/tarv-build.lock cmake --build $(BUILD) -j $(JOBS)

build-run: deps-run $(BUILD)/CMakeCache.txt
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

# A per-user install: no root rights needed. What it wrote is listed in $(MANIFEST), which
# make uninstall reads.
MANIFEST = $(TARV_WINDIR)/installed-files.txt
LIBS     = libTarvUtility.so libTarvBarcode.so libZlibTool.so

install: build-run install-files

# The install itself, from a built $(BUILD) (the package test runs it on the test build).
# The Python package goes where Debian's /usr/bin/python3 finds it: the user site when it lies
# under PREFIX (the default ~/.local), else lib/python3/dist-packages under PREFIX (reached with
# PYTHONPATH). Never outside PREFIX.
PYTHON_USER_SITE = $(shell /usr/bin/python3 -c 'import site; print(site.getusersitepackages())' 2>/dev/null)
PYTHON_DIR = $(or $(patsubst $(abspath $(PREFIX))/%,%,$(filter $(abspath $(PREFIX))/%,$(PYTHON_USER_SITE))),lib/python3/dist-packages)

install-files:
	cmake -DTARV_PYTHON_INSTALL_DIR=$(PYTHON_DIR) $(BUILD) >/dev/null
	cmake --install $(BUILD) --prefix $(PREFIX)
	mkdir -p "$(TARV_WINDIR)/system"
	install -m 0755 $(BUILD)/mailer/velinor "$(TARV_WINDIR)/system/velinor"
	ln -sf "$(TARV_WINDIR)/system/velinor" "$(PREFIX)/bin/velinor"
	mkdir -p "$(PREFIX)/share/applications"
	sed 's|@VELINOR@|$(TARV_WINDIR)/system/velinor|' mailer/resources/velinor.desktop.in \
	  > "$(PREFIX)/share/applications/velinor.desktop"
	@{ cat $(BUILD)/install_manifest.txt; echo; echo "$(TARV_WINDIR)/system/velinor"; } \
	  | grep . | sort -u > "$(MANIFEST)"
	@for lib in $(LIBS); do \
	  "$(PREFIX)/bin/tarv-regsvr" --user "$(PREFIX)/lib/$$lib" || exit 1; done
	@echo "Velinor installed in $(TARV_WINDIR)/system; tools in $(PREFIX)/bin"
	@echo "Python package tarv in $(abspath $(PREFIX))/$(PYTHON_DIR)$(if $(filter lib/python3/dist-packages,$(PYTHON_DIR)), (PYTHONPATH=$(abspath $(PREFIX))/$(PYTHON_DIR) for /usr/bin/python3),)"
	@case ":$$PATH:" in *":$(PREFIX)/bin:"*) ;; *) \
	  echo; echo "$(PREFIX)/bin is not on your PATH: add this line to ~/.profile (or ~/.bashrc)"; \
	  echo "and open a new terminal:"; echo; \
	  echo "  export PATH=\"$(PREFIX)/bin:\$$PATH\""; echo;; esac

# Unregisters the libraries, removes what make install wrote, and keeps the user's data.
uninstall:
	@if [ ! -f "$(MANIFEST)" ]; then echo "Nothing to uninstall: $(MANIFEST) is missing"; exit 1; fi
	@for lib in $(LIBS); do \
	  if [ -x "$(PREFIX)/bin/tarv-regsvr" ] && [ -f "$(PREFIX)/lib/$$lib" ]; then \
	    "$(PREFIX)/bin/tarv-regsvr" -u --user "$(PREFIX)/lib/$$lib" || true; fi; done
	@while read -r f; do rm -f "$$f"; \
	  rmdir -p --ignore-fail-on-non-empty "$$(dirname "$$f")" 2>/dev/null || true; done < "$(MANIFEST)"
	@rm -f "$(MANIFEST)"
	@echo "Tarv removed from $(PREFIX) and $(TARV_WINDIR)/system."
	@echo "Kept, as your data: $(TARV_WINDIR) (settings and registry in registry/, win.ini,"
	@echo "the phone book rasphone.pbk, a pending Default.ini in system/)."

run: install
	"$(TARV_WINDIR)/system/velinor"

bench: build
	$(BUILD)/bench/run-all

# The Debian packages, built in a folder of their own for /usr, into dist/.
PKGBUILD ?= build-package
package: deps-package
	cmake -S . -B $(PKGBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARV_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
	flock /tmp/tarv-build.lock cmake --build $(PKGBUILD) -j $(JOBS)
	rm -f $(PKGBUILD)/*.deb
	cd $(PKGBUILD) && cpack -G DEB
	mkdir -p dist
	cp $(PKGBUILD)/*.deb dist/
	@echo "Packages in dist/: install them with  sudo apt-get install ./dist/*.deb"

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ) $(PKGBUILD) dist
