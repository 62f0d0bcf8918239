#!/usr/bin/env bash
# The demo: builds a shippable upgrade program from fwupgrade, two example images and a settings
# record that presets the device, then runs it on the console front end on the test LAN, where a
# simulated router waits at 192.168.0.1.
# Usage: scripts/demo.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/tmp"

# Two example images: one for every method, one that only the boot loader takes (TFTP).
head -c 65536 /dev/zero | tr '\0' 'F' > "$demo/firmware.bin"
head -c 4096 /dev/zero | tr '\0' 'B' > "$demo/bootloader.bin"
cat > "$demo/bundle.manifest" <<'MANIFEST'
# The demo bundle: preset the device, then let the user confirm.
[settings]
method = set
address = 192.168.0.1
release = user

[image]
file = firmware.bin
methods = http ftp tftp
models = any

[image]
file = bootloader.bin
methods = tftp
models = any
MANIFEST

echo "== fwbundle pack"
"$build/bin/fwbundle" pack -o "$demo/fwupgrade-demo" "$build/bin/fwupgrade" --manifest "$demo/bundle.manifest"
echo "== fwbundle list"
"$build/bin/fwbundle" list "$demo/fwupgrade-demo"

echo "== fwupgrade-demo on the test LAN (console front end), router DEMO-R2 at 192.168.0.1"
set +e
"$root/tests/lan/testlan.sh" --router-addr 192.168.0.1 \
    --router "$build/bin/routersim --device addr=192.168.0.1,module=DEMO-R2,detail=1.0.4,answers=normal" \
    -- env TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 "$demo/fwupgrade-demo" 2>&1 | grep -v '^testlan:\|^routersim:'
status=${PIPESTATUS[0]}
set -e
left=$(find "$demo/tmp" -mindepth 1 | wc -l)
if [ "$status" -eq 3 ] && [ "$left" -eq 0 ]; then
    echo "== demo ended as expected: exit status 3 (the device is selected, the program waits for a person)"
    exit 0
fi
echo "== demo failed: exit status $status (expected 3), $left temporary file(s) left" >&2
exit 1
