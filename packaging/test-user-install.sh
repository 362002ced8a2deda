#!/bin/sh
# make install and make uninstall for one user, from a built folder: what is installed and
# registered, the PATH line, and what uninstall takes away and keeps.
#   test-user-install.sh SOURCE_DIR BUILD_DIR
set -eu
src=$1 build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
prefix=$scratch/prefix
export TARV_WINDIR="$scratch/windir" TARV_MACHINE_DIR= LC_ALL=C.UTF-8 PATH=/usr/bin:/bin
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

make -s -C "$src" install-files BUILD="$build" PREFIX="$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log"; fail "make install"; }
line="  export PATH=\"$prefix/bin:\$PATH\""
grep -qxF "$line" "$scratch/install.log" ||
    { cat "$scratch/install.log"; fail "no PATH line"; }
for f in bin/tarv-reg bin/tarv-regsvr bin/tarv-call bin/tarv-barcode bin/velinor lib/libTarvUtility.so \
    share/man/man1/velinor.1 share/applications/velinor.desktop; do
    [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$TARV_WINDIR/system/velinor" ] || fail "velinor not in the system directory"
[ "$(readlink "$prefix/bin/velinor")" = "$TARV_WINDIR/system/velinor" ] || fail "bin/velinor is not the link"
out=$("$prefix/bin/tarv-call" TarvUtility.Math 'Round(2.675, 2, 1)') || fail "tarv-call after install"
[ "$out" = 2.68 ] || fail "Round gave $out"
"$prefix/bin/tarv-reg" add 'HKCU\Software\Orvid\Velinor' /v SMTP /d mail.esempio.it /f >/dev/null

# Already on PATH: no line.
PATH="$prefix/bin:$PATH" make -s -C "$src" install-files BUILD="$build" PREFIX="$prefix" >"$scratch/again.log" 2>&1
! grep -q 'export PATH' "$scratch/again.log" || fail "PATH line printed although on PATH"

make -s -C "$src" uninstall PREFIX="$prefix" >"$scratch/uninstall.log" 2>&1 ||
    { cat "$scratch/uninstall.log"; fail "make uninstall"; }
left=$(find "$prefix" ! -type d 2>/dev/null || true)
[ -z "$left" ] || fail "left after uninstall: $left"
[ ! -e "$TARV_WINDIR/system/velinor" ] || fail "velinor left in the system directory"
grep -q "Kept, as your data: $TARV_WINDIR" "$scratch/uninstall.log" || fail "uninstall does not name what it kept"
"$build/tools/tarv-reg" query 'HKCU\Software\Orvid\Velinor' /v SMTP | grep -q mail.esempio.it ||
    fail "uninstall lost the user's settings"
! "$build/tools/tarv-reg" query 'HKCR\TarvUtility.Math' >/dev/null 2>&1 || fail "TarvUtility still registered"
echo "make install and make uninstall as expected"
