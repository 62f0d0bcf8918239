#!/usr/bin/env bash
# The demo: builds shippable upgrade programs from fwupgrade, example images, a message and a settings
# record for an unattended "put", then runs them on the console front end on the test LAN. First a
# crashed simulated router waits in its boot loader at 192.168.1.1 and is recovered over TFTP; then a
# normal router at 192.168.1.2 is upgraded over its web interface; then a router of unknown kind at
# 192.168.1.3 (it answers only the echo) is upgraded over FTP; last, a "get" fetches a stretch of
# that router's stored data. After each run the demo compares what arrived with what was sent.
# Usage: scripts/demo.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/tmp" "$demo/router-store" "$demo/web-store" "$demo/ftp-store"
chmod 0777 "$demo/ftp-store" # the device's FTP server may run as another user

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
tftpStatus=$status

# The HTTP upgrade: two images for every model, sent in one upload after the password check.
head -c 300000 /dev/urandom > "$demo/kernel.bin"
head -c 120000 /dev/urandom > "$demo/rootfs.bin"
cat > "$demo/http.manifest" <<'MANIFEST'
# Upgrade the router at 192.168.1.2 over its web interface without a person.
[settings]
method = put
address = 192.168.1.2
password = demo-secret
release = user

[image]
file = kernel.bin
methods = http ftp
section = 1

[image]
file = rootfs.bin
methods = http ftp
section = 2
MANIFEST
echo "== fwbundle pack (HTTP)"
"$build/bin/fwbundle" pack -o "$demo/fwupgrade-http" "$build/bin/fwupgrade" --manifest "$demo/http.manifest"

echo "== fwupgrade-http on the test LAN; normal router VN200 at 192.168.1.2 with its web interface"
set +e
"$root/tests/lan/testlan.sh" --router-addr 192.168.1.2 \
    --router "$build/bin/routersim --device addr=192.168.1.2,module=VN200,detail=1.0.3,answers=normal,web=on \
              --password demo-secret --store $demo/web-store" \
    -- env TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 "$demo/fwupgrade-http" 2>&1 |
    grep -v '^testlan:\|^routersim: \(recv\|send\)'
httpStatus=${PIPESTATUS[0]}
set -e

echo "== what the router received over HTTP ($demo/web-store)"
cat "$demo/kernel.bin" "$demo/rootfs.bin" > "$demo/both.bin"
if cmp -s "$demo/both.bin" "$demo/web-store/upload-1.bin"; then
    echo "   upload-1.bin: $(stat -c %s "$demo/web-store/upload-1.bin") bytes, kernel.bin and rootfs.bin back to back"
    matched=$((matched + 1))
else
    echo "   upload-1.bin: missing or different from kernel.bin and rootfs.bin back to back"
fi

# The FTP upgrade: the same two images, each stored under its own name, for a device of unknown kind.
sed 's/192\.168\.1\.2/192.168.1.3/' "$demo/http.manifest" > "$demo/ftp.manifest"
echo "== fwbundle pack (FTP)"
"$build/bin/fwbundle" pack -o "$demo/fwupgrade-ftp" "$build/bin/fwupgrade" --manifest "$demo/ftp.manifest"

echo "== fwupgrade-ftp on the test LAN; a router of unknown kind at 192.168.1.3 with an FTP server"
set +e
"$root/tests/lan/testlan.sh" --router-addr 192.168.1.3 \
    --router "$build/bin/routersim --device addr=192.168.1.3,module=VN300,answers=none,ftp=on \
              --password demo-secret --store $demo/ftp-store" \
    -- env TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 "$demo/fwupgrade-ftp" 2>&1 |
    grep -v '^testlan:\|^routersim: \(recv\|send\)'
ftpStatus=${PIPESTATUS[0]}
set -e

echo "== what the router stored over FTP ($demo/ftp-store)"
for image in kernel.bin rootfs.bin; do
    if cmp -s "$demo/$image" "$demo/ftp-store/$image"; then
        echo "   $image: $(stat -c %s "$demo/ftp-store/$image") bytes, the same as $image"
        matched=$((matched + 1))
    else
        echo "   $image: missing or different from $image"
    fi
done

# The download: 64 bytes from offset 0x100 of the router's stored data, over FTP.
head -c 65536 /dev/urandom > "$demo/device-data.bin"
rm -f "$demo/rom-part.bin"
echo "== fwupgrade get on the test LAN: 64 bytes at 0x100 of the data of the router at 192.168.1.3"
set +e
"$root/tests/lan/testlan.sh" --router-addr 192.168.1.3 \
    --router "$build/bin/routersim --device addr=192.168.1.3,module=VN300,answers=normal,ftp=on,web=on \
              --password demo-secret --store $demo/ftp-store --data-image $demo/device-data.bin" \
    -- env -C "$demo" TMPDIR="$demo/tmp" FWUPGRADE_CONSOLE=1 \
    "$build/bin/fwupgrade" get 192.168.1.3 demo-secret null 0x100 64 rom-part.bin 2>&1 |
    grep -v '^testlan:\|^routersim: \(recv\|send\)'
getStatus=${PIPESTATUS[0]}
set -e
echo "== what the download saved ($demo/rom-part.bin)"
if cmp -s <(tail -c +257 "$demo/device-data.bin" | head -c 64) "$demo/rom-part.bin"; then
    echo "   rom-part.bin: 64 bytes, the same as bytes 256 to 319 of the router's data"
    matched=$((matched + 1))
else
    echo "   rom-part.bin: missing or different from bytes 256 to 319 of the router's data"
fi

left=$(find "$demo/tmp" -mindepth 1 | wc -l)
if [ "$tftpStatus" -eq 0 ] && [ "$httpStatus" -eq 0 ] && [ "$ftpStatus" -eq 0 ] && [ "$getStatus" -eq 0 ] &&
    [ "$matched" -eq 6 ] && [ "$left" -eq 0 ]; then
    echo "== demo ended as expected: every run exit status 0, every image stored byte for byte, no temporary file left"
    exit 0
fi
echo "== demo failed: exit status $tftpStatus, $httpStatus, $ftpStatus and $getStatus (expected 0), $matched of 6" \
    "comparisons match, $left temporary file(s) left" >&2
exit 1
