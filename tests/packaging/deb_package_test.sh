#!/usr/bin/env bash
# Usage: deb_package_test.sh CPACK BUILD_DIR SCRATCH_DIR
set -euo pipefail
cpack=$1 build=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch/root"

# Fast compression: the test checks contents, not size.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
debs=("$scratch"/veld32_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one veld32_*.deb in $scratch"; exit 1; }
deb=${debs[0]}
dpkg-deb -x "$deb" "$scratch/root"
dpkg-deb -e "$deb" "$scratch/control"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected=(
  usr/bin/veld32
  usr/bin/veld32ctl
  usr/lib/udev/rules.d/60-veld32.rules
  usr/share/applications/veld32.desktop
  usr/share/icons/hicolor/32x32/apps/veld32.png
  usr/share/icons/hicolor/256x256/apps/veld32.png
  usr/share/man/man1/veld32.1.gz
  usr/share/man/man1/veld32ctl.1.gz
  usr/share/bash-completion/completions/veld32ctl
  usr/share/doc/veld32/copyright
  usr/share/doc/veld32/changelog.gz
)
for file in "${expected[@]}"; do
  [ -f "$scratch/root/$file" ] || fail "missing /$file"
done
for program in veld32 veld32ctl; do
  [ -x "$scratch/root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done
cmp -s "$scratch/root/usr/lib/udev/rules.d/60-veld32.rules" "$(dirname "$0")/../../packaging/60-veld32.rules" ||
  fail "the udev rule differs from packaging/60-veld32.rules"
for page in veld32 veld32ctl; do
  zcat "$scratch/root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" ||
    fail "$page.1.gz is not a section 1 manual page"
done
grep -q '^Exec=veld32$' "$scratch/root/usr/share/applications/veld32.desktop" || fail "desktop entry Exec"
bash -n "$scratch/root/usr/share/bash-completion/completions/veld32ctl" || fail "completion syntax"

# Dependencies come from the binaries.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libftdi1-2 libc6; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[ -x "$scratch/control/postinst" ] || fail "no executable postinst"
# The post-install step reloads the rules and retriggers the testers alone: a stand-in udevadm
# records what it is asked, over a stand-in /sys with a tester, another FTDI device and another
# maker's device that calls itself VELD32.
fake=$scratch/fake
mkdir -p "$fake/bin" "$fake/run/udev"
cat > "$fake/bin/udevadm" <<'UDEVADM'
#!/bin/sh
echo "$*" >> "$VELD32_TEST_ROOT/udevadm.log"
UDEVADM
chmod +x "$fake/bin/udevadm"
device() {
  mkdir -p "$fake/sys/bus/usb/devices/$1"
  echo "$2" > "$fake/sys/bus/usb/devices/$1/idVendor"
  echo "$3" > "$fake/sys/bus/usb/devices/$1/product"
}
device 1-1 0403 VELD32
device 1-2 0403 "FT232R USB UART"
device 1-3 067b VELD32
mkdir -p "$fake/sys/bus/usb/devices/1-1:1.0"
PATH="$fake/bin:$PATH" VELD32_TEST_ROOT=$fake sh "$scratch/control/postinst" configure ||
  fail "postinst configure failed"
expected_calls="control --reload-rules
trigger --action=change --parent-match=$fake/sys/bus/usb/devices/1-1"
[ "$(cat "$fake/udevadm.log" 2>/dev/null)" = "$expected_calls" ] ||
  fail "postinst asked udevadm for: $(cat "$fake/udevadm.log" 2>/dev/null)"

if command -v lintian > /dev/null 2>&1; then
  lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian reports errors"
else
  echo "lintian not installed: skipped"
fi

[ $failures -eq 0 ] || exit 1
echo "package $(basename "$deb") holds every file"
