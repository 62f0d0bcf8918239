#!/usr/bin/env bash
# The demo: builds a shippable upgrade program from fwupgrade and two example images, lists its
# bundle, and runs it on the console front end in a network namespace of its own.
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

echo "== fwbundle pack"
"$build/bin/fwbundle" pack -o "$demo/fwupgrade-demo" "$build/bin/fwupgrade" \
    "$demo/firmware.bin:0x080D" "$demo/bootloader.bin:0x0809"
echo "== fwbundle list"
"$build/bin/fwbundle" list "$demo/fwupgrade-demo"

echo "== fwupgrade-demo (console front end, network namespace of its own)"
set +e
TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 "$root/scripts/isolated.sh" "$demo/fwupgrade-demo"
status=$?
set -e
left=$(find "$demo/tmp" -mindepth 1 | wc -l)
if [ "$status" -eq 3 ] && [ "$left" -eq 0 ]; then
    echo "== demo ended as expected: exit status 3 (the program waits for a person), no temporary file left"
    exit 0
fi
echo "== demo failed: exit status $status (expected 3), $left temporary file(s) left" >&2
exit 1
