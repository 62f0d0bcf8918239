#!/usr/bin/env bash
# The demo: builds a shippable upgrade program from fwupgrade, two example images, a message and a
# settings record for an unattended "put", then runs it on the console front end on the test LAN,
# where a crashed simulated router waits in its boot loader at 192.168.1.1. The program recovers it
# over TFTP; the demo then compares what the router stored with the images.
# Usage: scripts/demo.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/tmp" "$demo/router-store"

# Two example images: one for every method, one that only the boot loader takes (TFTP).
head -c 200000 /dev/urandom > "$demo/firmware.bin"
head -c 4096 /dev/urandom > "$demo/bootloader.bin"
printf 'Recovering your router. Keep it powered on.' > "$demo/notice.txt"
cat > "$demo/bundle.manifest" <<'MANIFEST'
# The demo bundle: recover the device at 192.168.1.1 without a person.
[settings]
method = put
address = 192.168.1.1
release = user

[image]
file = bootloader.bin
methods = tftp

[message]
file = notice.txt
caption = Recovery
shown = tftp
live-time = 1

[image]
file = firmware.bin
methods = http ftp tftp
MANIFEST

echo "== fwbundle pack"
"$build/bin/fwbundle" pack -o "$demo/fwupgrade-demo" "$build/bin/fwupgrade" --manifest "$demo/bundle.manifest"
echo "== fwbundle list"
"$build/bin/fwbundle" list "$demo/fwupgrade-demo" | grep -v '^    [a-z-]* = '

echo "== fwupgrade-demo on the test LAN (console front end); crashed router VN100 at 192.168.1.1"
set +e
"$root/tests/lan/testlan.sh" --router-addr 192.168.1.1 \
    --router "$build/bin/routersim --device addr=192.168.1.1,module=VN100,answers=crash,tftp=on \
              --store $demo/router-store --reboot-ms 1000 --recovered-detail 1.0.4" \
    -- env TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 "$demo/fwupgrade-demo" 2>&1 |
    grep -v '^testlan:\|^routersim:\|^Sent [0-9]* \.\.$\|^Recv : \|^\[status\] Beginning Upgrade'
status=${PIPESTATUS[0]}
set -e

echo "== what the router stored ($demo/router-store)"
matched=0
for image in bootloader.bin firmware.bin; do
    if cmp -s "$demo/$image" "$demo/router-store/$image.tmp"; then
        echo "   $image.tmp: $(stat -c %s "$demo/router-store/$image.tmp") bytes, the same as $image"
        matched=$((matched + 1))
    else
        echo "   $image.tmp: missing or different from $image"
    fi
done
left=$(find "$demo/tmp" -mindepth 1 | wc -l)
if [ "$status" -eq 0 ] && [ "$matched" -eq 2 ] && [ "$left" -eq 0 ]; then
    echo "== demo ended as expected: exit status 0, both images stored byte for byte, no temporary file left"
    exit 0
fi
echo "== demo failed: exit status $status (expected 0), $matched of 2 images match, $left temporary file(s) left" >&2
exit 1
