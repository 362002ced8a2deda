#!/bin/sh
# Builds the Debian packages from a configured build folder and checks them: which package
# holds which file, the dependencies found, and the maintainer scripts of `tarv` run in a
# scratch root (DPKG_ROOT), where the libraries registered in the machine's store are what a
# user's tarv-call creates, and where removal and purge take everything of ours away.
#   test-packages.sh BUILD_DIR PACKAGE...
set -eu
build=$1; shift
expected=$*
if grep -q '^TARV_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "skipped: the packages are not built from a sanitizer build"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
cd "$scratch/out"
built=$(for d in *.deb; do dpkg-deb -f "$d" Package; done | sort | tr '\n' ' ')
want=$(printf '%s\n' $expected | sort | tr '\n' ' ')
[ "$built" = "$want" ] || fail "packages built: $built, wanted: $want"

# Each file where a user or a host looks for it, and in one package only.
holds() { # package file...
    deb=$(ls "$1"_*.deb); shift
    for f in "$@"; do
        dpkg-deb -c "$deb" | awk '{print $6}' | grep -qx "./$f" || fail "$deb lacks $f"
    done
}
holds tarv usr/bin/tarv-reg usr/bin/tarv-regsvr usr/bin/tarv-call usr/bin/tarv-barcode \
    usr/lib/libTarvUtility.so usr/lib/libZlibTool.so usr/lib/libTarvBarcode.so \
    usr/share/man/man1/tarv-call.1 usr/share/bash-completion/completions/tarv-reg
holds velinor usr/bin/velinor usr/share/applications/velinor.desktop \
    usr/share/icons/hicolor/48x48/apps/velinor.png usr/share/man/man1/velinor.1
holds tarv-dev usr/include/tarv/TarvUtility.h usr/include/tarv/ctlBarcode.h \
    usr/lib/cmake/TarvUtility/TarvUtilityConfig.cmake usr/lib/cmake/TarvBarcode/TarvBarcodeConfig.cmake
if ls python3-tarv_*.deb >/dev/null 2>&1; then
    dpkg-deb -c python3-tarv_*.deb | awk '{print $6}' | grep -q '^./usr/lib/python3/dist-packages/tarv' ||
        fail "python3-tarv holds no module tarv in /usr/lib/python3/dist-packages"
fi
dups=$(for d in *.deb; do dpkg-deb -c "$d" | awk '$1 !~ /^d/ {print $6}'; done | sort | uniq -d)
[ -z "$dups" ] || fail "files in two packages: $dups"
for p in tarv velinor; do
    dpkg-deb -f "$p"_*.deb Depends | grep -q 'libqt6core6' || fail "$p does not depend on Qt"
done
grep -qx 'Exec="velinor"' "$build/mailer/velinor.desktop" || fail "the menu entry does not run velinor from PATH"

# The maintainer scripts, in a scratch root.
root=$scratch/root
mkdir -p "$root" "$scratch/control" "$scratch/home"
for d in *.deb; do dpkg-deb -x "$d" "$root"; done
dpkg-deb -e tarv_*.deb "$scratch/control"
export DPKG_ROOT="$root" TARV_WINDIR="$scratch/home/tarv" TARV_MACHINE_DIR="$root/var/lib/tarv" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
sh "$scratch/control/postinst" configure
[ "$(stat -c %a "$root/var/lib/tarv/registry")" = 755 ] || fail "the machine's registry folder is not readable by all"
[ "$(stat -c %a "$root/var/lib/tarv/registry/machine.db")" = 644 ] || fail "the machine's store is not readable by all"
out=$("$root/usr/bin/tarv-call" TarvUtility.Math 'Round(2.675, 2, 1)') || fail "tarv-call after postinst"
[ "$out" = 2.68 ] || fail "Round gave $out"
"$root/usr/bin/tarv-reg" query 'HKCR\TarvBarcode.ctlBarcode' >/dev/null || fail "TarvBarcode not registered"
"$root/usr/bin/tarv-reg" query 'HKCR\ZLIBTOOLLib.ZlibTool' >/dev/null || fail "ZlibTool not registered"
[ ! -e "$scratch/home/tarv/registry/machine.db" ] || fail "a user's run made a machine store of its own"
if [ -d "$root/usr/lib/python3/dist-packages" ]; then
    PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c 'import tarv' ||
        fail "import tarv from the package"
fi

sh "$scratch/control/prerm" remove
for id in TarvUtility.Math TarvBarcode.ctlBarcode ZLIBTOOLLib.ZlibTool; do
    ! "$root/usr/bin/tarv-reg" query "HKCR\\$id" >/dev/null 2>&1 || fail "$id still registered after removal"
done
left=$("$root/usr/bin/tarv-reg" query 'HKCR\CLSID' | grep -c '^HKEY' || true)
[ "$left" = 1 ] || fail "class entries left after removal: $left"
sh "$scratch/control/postrm" purge
[ ! -e "$root/var/lib/tarv" ] || fail "purge left /var/lib/tarv"
[ -d "$scratch/home/tarv" ] || fail "purge took a user's files"
echo "packages: $built- contents, dependencies and maintainer scripts as expected"
