#!/usr/bin/env bash
# bench/run.sh: how fast the TFTP recovery of fwupgrade sends an image, beside curl as a plain TFTP client,
# on the test LAN. For each image size (1, 4 and 16 MiB), with no added delay and with 1 ms added each way
# (testlan.sh --delay-ms), one test LAN run against one crashed simulated router (routersim's TFTP loader):
#   1. ping measures the round trip time of the LAN as it is in this run;
#   2. curl --tftp-no-options sends the image in plain 512-byte blocks, lock-step, as curl.bin;
#   3. a shipped fwupgrade (an unattended "put" recovery, packed with fwbundle) recovers the router with it.
# The times are taken from routersim's log, each line stamped as it was written (bench/linestamp), so both
# senders are timed alike, at the device: from the write request to the ACK of the last block. For ours
# also up to its reboot request "R!" (the program sees the end of its files on a 500 ms timer tick); the
# fixed waits after it (the reboot) are left out. Peak resident memory comes from GNU time.
# Speed is only printed, never judged by the exit status: that is 0 when every image was stored byte for
# byte and every program succeeded, 1 otherwise, 2 when something is missing.
#
# Then an HTTP table: the same image sizes uploaded to the web interface of one normal simulated router
# (routersim web=on --store), one test LAN run a size (and a delay, when BENCH_DELAYS asks for more than 0):
#   1. ping measures the round trip time, as above;
#   2. curl -F posts the image as a standard multipart upload to /upg (no "Expect: 100-continue" wait);
#   3. a shipped fwupgrade (an unattended "put" upgrade, methods http ftp, packed with fwbundle) logs in and
#      uploads it the way the device web interface takes it.
# Both are timed from the moment the request header goes out to the moment the body is all in at the device:
# ours from its "Upgrade File Length" log line (its stdout, stamped by bench/linestamp) to routersim's
# "stored" line (its stderr, stamped the same way, on the same clock); curl from its time_pretransfer to its
# time_total, which also holds the verdict's way back (about RTT/2; the reply is one short page); curl's
# time_starttransfer is no use here, for a POST it is taken as the upload starts. The login before ours's
# upload and its fixed 300 ms pause before reading the verdict are left out. Ours is also split, by its own
# log stamps: up to "Send end char" it sends the short request header and reads the whole image into memory,
# from there to "Send Bin File Length" it sends the image (its last send taken by the kernel, not yet by the
# device).
#
# Then an FTP table: the same image sizes uploaded to the FTP server of one simulated router (routersim
# ftp=on --store, pyftpdlib; answers=none, so ours sees a device of unknown kind and takes FTP), one test
# LAN run a size (and a delay):
#   1. ping measures the round trip time, as above;
#   2. curl -T image.bin --ftp-port - stores it as curl.bin, active mode (EPRT, as curl chooses);
#   3. a shipped fwupgrade (an unattended "put" upgrade, methods http ftp, packed with fwbundle) logs in
#      and stores it as image.bin, active mode (plain PORT).
# Both are timed from a line of the client stamped just after its login to the device's "stored" line:
# ours from its "Put Upgrade File without IDCheck" line (its stdout, stamped by bench/linestamp), curl from
# the "< 230" reply line of its -v trace (its stderr, stamped the same way), to routersim's "stored" line
# (its stderr, stamped the same way, on the same clock). Either span holds the commands after the login
# (curl's PWD, EPRT, TYPE I, STOR; ours's with PORT), the data connection, the image and the server's
# closing of the file. The connection, the login and ours's device search before them are left out. The
# device's line passes from the server through routersim and can come a few ms late, so a second pair of
# spans uses the clients' stamps only, from the same start to the line once the server's 226 is in (ours's
# next log line, its walk going on once the upload returned; curl's "< 226"). The server's own time of
# each data transfer (pyftpdlib's "seconds=", in ms) and curl's time_total - time_pretransfer are printed
# as well.
# Usage: bench/run.sh [BUILD-DIR]   (BENCH_SIZES="1 4 16" MiB and BENCH_DELAYS="0 1" ms choose the rows)
set -euo pipefail

readonly kAddr=192.168.1.1
readonly kPassword=secret

# ---- inside the test LAN, on the PC side: RUN-DIR PROGRAM
if [ "${1:-}" = --pc ]; then
    run=$2 program=$3
    cd "$run"
    # The first echo also waits for ARP; the round trip is measured after it.
    ping -q -c 3 -i 0.05 "$kAddr" >/dev/null
    ping -c 200 -i 0.005 "$kAddr" >ping.txt
    set +e
    /usr/bin/time -f %M -o curl.rss curl -sS --tftp-no-options -T image.bin "tftp://$kAddr/curl.bin" \
        >curl.out 2>&1
    echo $? >curl.status
    /usr/bin/time -f %M -o ours.rss env TMPDIR="$run/tmp" FWUPGRADE_CONSOLE=1 "$program" >ours.out 2>ours.err
    echo $? >ours.status
    exit 0
fi

# ---- inside the test LAN, on the PC side, the HTTP part: RUN-DIR PROGRAM
if [ "${1:-}" = --pc-http ]; then
    run=$2 program=$3 linestamp=$4
    cd "$run"
    ping -q -c 3 -i 0.05 "$kAddr" >/dev/null
    ping -c 200 -i 0.005 "$kAddr" >ping.txt
    set +e
    /usr/bin/time -f %M -o curl.rss curl -sS -H 'Expect:' -F "FN=@image.bin" -o curl.body \
        -w '%{time_pretransfer} %{time_total}\n' "http://$kAddr/upg" >curl.times 2>curl.err
    echo $? >curl.status
    /usr/bin/time -f %M -o ours.rss env TMPDIR="$run/tmp" FWUPGRADE_CONSOLE=1 "$program" 2>ours.err |
        "$linestamp" >ours.out
    echo "${PIPESTATUS[0]}" >ours.status
    exit 0
fi

# ---- inside the test LAN, on the PC side, the FTP part: RUN-DIR PROGRAM LINESTAMP
if [ "${1:-}" = --pc-ftp ]; then
    run=$2 program=$3 linestamp=$4
    cd "$run"
    ping -q -c 3 -i 0.05 "$kAddr" >/dev/null
    ping -c 200 -i 0.005 "$kAddr" >ping.txt
    set +e
    # The trace (stderr) is stamped line by line; -w's times go to curl.times.
    { /usr/bin/time -f %M -o curl.rss curl -sS -v -T image.bin --ftp-port - \
        -w '%{time_pretransfer} %{time_total}\n' "ftp://root:$kPassword@$kAddr/curl.bin" 2>&1 >curl.times; } |
        "$linestamp" >curl.err
    echo "${PIPESTATUS[0]}" >curl.status
    /usr/bin/time -f %M -o ours.rss env TMPDIR="$run/tmp" FWUPGRADE_CONSOLE=1 "$program" 2>ours.err |
        "$linestamp" >ours.out
    echo "${PIPESTATUS[0]}" >ours.status
    exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bin=$build/bin
missing=()
for program in fwupgrade fwbundle routersim nfdelay linestamp; do
    [ -x "$bin/$program" ] || missing+=("$bin/$program (build it)")
done
for tool in curl ping; do command -v "$tool" >/dev/null || missing+=("$tool (scripts/deps.sh curl time)"); done
[ -x /usr/bin/time ] || missing+=("/usr/bin/time (scripts/deps.sh curl time)")
if [ ${#missing[@]} -gt 0 ]; then
    printf 'bench: missing: %s\n' "${missing[@]}" >&2
    exit 2
fi

work=$build/bench
rm -rf "$work"
mkdir -p "$work"
read -ra sizes <<<"${BENCH_SIZES:-1 4 16}" # MiB
read -ra delays <<<"${BENCH_DELAYS:-0 1}" # ms added each way

# One shipped program a size: the image, and the settings of an unattended recovery of 192.168.1.1.
for size in "${sizes[@]}"; do
    mkdir -p "$work/${size}M"
    head -c $((size << 20)) /dev/urandom >"$work/${size}M/image.bin"
    printf '[settings]\nmethod = put\naddress = %s\n\n[image]\nfile = image.bin\nmethods = tftp\n' "$kAddr" \
        >"$work/${size}M/bundle.manifest"
    "$root/scripts/isolated.sh" "$bin/fwbundle" pack -o "$work/${size}M/fwupgrade-recover" "$bin/fwupgrade" \
        --manifest "$work/${size}M/bundle.manifest" >/dev/null
done

failures=0
rows=()
for delay in "${delays[@]}"; do
    for size in "${sizes[@]}"; do
        run=$work/${size}M-${delay}ms
        mkdir -p "$run/store" "$run/tmp"
        ln -s "../${size}M/image.bin" "$run/image.bin"
        echo "bench: $size MiB, ${delay} ms added each way ..." >&2
        lan=(--router-addr "$kAddr")
        [ "$delay" -gt 0 ] && lan+=(--delay-ms "$delay" --delayer "$bin/nfdelay")
        printf -v router 'exec %q --device addr=%s,module=VN100,answers=crash,tftp=on --store %q --reboot-ms 50 2> >(exec %q >%q)' \
            "$bin/routersim" "$kAddr" "$run/store" "$bin/linestamp" "$run/router.log"
        set +e
        "$root/tests/lan/testlan.sh" "${lan[@]}" --router "$router" -- \
            bash "$0" --pc "$run" "$work/${size}M/fwupgrade-recover" >"$run/lan.out" 2>"$run/lan.err"
        status=$?
        set -e
        if [ "$status" -ne 0 ]; then
            echo "bench: the test LAN run failed with status $status:" >&2
            tail -20 "$run/lan.err" >&2
            failures=$((failures + 1))
            continue
        fi
        # Times at the device: the write requests (curl's, then ours), the ACK that follows each "stored"
        # line (the last block's), and the reboot request.
        read -r curlStart curlEnd oursStart oursEnd oursReboot < <(awk '
            / recv .* bytes: 00 02 / { start[++s] = $1 }
            /   stored / { stored = 1; next }
            stored && / send / { end[++e] = $1; stored = 0 }
            / recv .* bytes: 00 01 52 21 / { reboot = $1 }
            END { printf "%s %s %s %s %s\n", start[1] ? start[1] : "-", end[1] ? end[1] : "-",
                  start[2] ? start[2] : "-", end[2] ? end[2] : "-", reboot ? reboot : "-" }' "$run/router.log")
        # The median: a few echoes that meet a busy moment of the machine would lift a mean by percents.
        rtt=$(sed -n 's/.* time=\([0-9.]*\) ms$/\1/p' "$run/ping.txt" | sort -g |
            awk '{ t[NR] = $1 } END { if (NR) print NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')
        curlOk=no oursOk=no
        if [ "$(cat "$run/curl.status")" = 0 ] && cmp -s "$run/image.bin" "$run/store/curl.bin"; then
            curlOk=yes
        fi
        if [ "$(cat "$run/ours.status")" = 0 ] && cmp -s "$run/image.bin" "$run/store/image.bin.tmp" &&
            grep -qx ' Recover Success' "$run/ours.out"; then
            oursOk=yes
        fi
        [ "$curlOk" = yes ] && [ "$oursOk" = yes ] || failures=$((failures + 1))
        rows+=("$size $delay ${rtt:--} $curlStart $curlEnd $oursStart $oursEnd $oursReboot \
$(tail -1 "$run/ours.rss") $(tail -1 "$run/curl.rss") $oursOk $curlOk")
    done
done

echo
echo "TFTP send of one image on the test LAN: fwupgrade (unattended recovery) and curl --tftp-no-options"
echo "  times at the device, write request to the ACK of the last block; 'to R!': ours up to its reboot request"
echo "  RTT: median of 200 pings in the same run; limit: lock-step limit = blocks x RTT"
echo "  blocks: 512-byte DATA blocks with the closing empty one; %limit = limit / time; RSS: peak, GNU time"
echo
printf '%s\n' "${rows[@]}" | awk '
    function num(x) { return x != "-" && x != "" }
    BEGIN {
        printf "%-6s %-6s %8s %7s %8s | %8s %8s %8s %9s | %7s %7s | %9s %9s | %s\n", "image", "delay",
               "RTT ms", "blocks", "limit s", "ours s", "to R! s", "curl s", "ours/curl", "ours %", "curl %",
               "ours KiB", "curl KiB", "stored = image (ours, curl)"
    }
    {
        size = $1; delay = $2; rtt = $3; blocks = size * 2048 + 1
        limit = num(rtt) ? blocks * rtt / 1000 : 0
        ours = num($6) && num($7) ? $7 - $6 : -1
        toR = num($6) && num($8) ? $8 - $6 : -1
        curl = num($4) && num($5) ? $5 - $4 : -1
        oursText = ours < 0 ? "-" : sprintf("%.3f", ours)
        toRText = toR < 0 ? "-" : sprintf("%.3f", toR)
        curlText = curl < 0 ? "-" : sprintf("%.3f", curl)
        ratio = (ours > 0 && curl > 0) ? sprintf("%.2f", ours / curl) : "-"
        oursPct = (ours > 0 && limit > 0) ? sprintf("%.1f", 100 * limit / ours) : "-"
        curlPct = (curl > 0 && limit > 0) ? sprintf("%.1f", 100 * limit / curl) : "-"
        printf("%-6s %-6s %8s %7d %8.3f | %8s %8s %8s %9s | %7s %7s | %9s %9s | %s, %s\n",
               size " MiB", "+" delay " ms", rtt, blocks, limit, oursText, toRText, curlText, ratio,
               oursPct, curlPct, $9, $10, $11, $12)
    }'
echo
echo "Aims: ours/curl <= 1.00; ours % >= 95 on the delayed rows; ours KiB the same for every image size."

# ---- HTTP: one shipped program a size, an unattended upgrade of 192.168.1.1 with the device password.
for size in "${sizes[@]}"; do
    printf '[settings]\nmethod = put\naddress = %s\npassword = %s\n\n[image]\nfile = image.bin\nmethods = http ftp\n' \
        "$kAddr" "$kPassword" >"$work/${size}M/http.manifest"
    "$root/scripts/isolated.sh" "$bin/fwbundle" pack -o "$work/${size}M/fwupgrade-http" "$bin/fwupgrade" \
        --manifest "$work/${size}M/http.manifest" >/dev/null
done

httpRows=()
for delay in "${delays[@]}"; do
    for size in "${sizes[@]}"; do
        run=$work/http-${size}M-${delay}ms
        mkdir -p "$run/store" "$run/tmp"
        ln -s "../${size}M/image.bin" "$run/image.bin"
        echo "bench: HTTP, $size MiB, ${delay} ms added each way ..." >&2
        lan=(--router-addr "$kAddr")
        [ "$delay" -gt 0 ] && lan+=(--delay-ms "$delay" --delayer "$bin/nfdelay")
        printf -v router 'exec %q --device addr=%s,module=VN100,answers=normal,web=on --password %q --store %q 2> >(exec %q >%q)' \
            "$bin/routersim" "$kAddr" "$kPassword" "$run/store" "$bin/linestamp" "$run/router.log"
        set +e
        "$root/tests/lan/testlan.sh" "${lan[@]}" --router "$router" -- \
            bash "$0" --pc-http "$run" "$work/${size}M/fwupgrade-http" "$bin/linestamp" \
            >"$run/lan.out" 2>"$run/lan.err"
        status=$?
        set -e
        if [ "$status" -ne 0 ]; then
            echo "bench: the test LAN run failed with status $status:" >&2
            tail -20 "$run/lan.err" >&2
            failures=$((failures + 1))
            continue
        fi
        # At the device: what was stored before ours's login is curl's, what was stored after it ours's.
        read -r curlPath oursPath oursEnd < <(awk '
            / routersim: web: GET \/cgi-bin\/logi/ { login = 1 }
            / routersim: web: stored [0-9]+ bytes in / {
                if (!login && !curl) curl = $NF
                if (login && !ours) { ours = $NF; end = $1 }
            }
            END { printf "%s %s %s\n", curl ? curl : "-", ours ? ours : "-", end ? end : "-" }' "$run/router.log")
        # Ours's own stamps: the length line just before its request header, the end marker (the image is
        # read by then), and the count of bytes sent.
        read -r oursStart oursRead oursSent < <(awk '
            / Upgrade File Length : / && !start { start = $1 }
            / Send end char$/ && !endChar { endChar = $1 }
            / Send Bin File Length : / && !sent { sent = $1 }
            END { printf "%s %s %s\n", start ? start : "-", endChar ? endChar : "-", sent ? sent : "-" }' \
            "$run/ours.out")
        read -r curlPre curlTotal <"$run/curl.times" || true
        rtt=$(sed -n 's/.* time=\([0-9.]*\) ms$/\1/p' "$run/ping.txt" | sort -g |
            awk '{ t[NR] = $1 } END { if (NR) print NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')
        curlOk=no oursOk=no
        if [ "$(cat "$run/curl.status")" = 0 ] && [ "$curlPath" != - ] && cmp -s "$run/image.bin" "$curlPath" &&
            grep -q 'CAS:8000' "$run/curl.body"; then
            curlOk=yes
        fi
        if [ "$(cat "$run/ours.status")" = 0 ] && [ "$oursPath" != - ] && cmp -s "$run/image.bin" "$oursPath" &&
            grep -q ' Upgrade success in New version$' "$run/ours.out"; then
            oursOk=yes
        fi
        [ "$curlOk" = yes ] && [ "$oursOk" = yes ] || failures=$((failures + 1))
        httpRows+=("$size $delay ${rtt:--} $oursStart $oursRead $oursSent $oursEnd ${curlPre:--} ${curlTotal:--} \
$(tail -1 "$run/ours.rss") $(tail -1 "$run/curl.rss") $oursOk $curlOk")
    done
done

echo
echo "HTTP upload of one image to the device web interface on the test LAN: fwupgrade (unattended put) and curl -F"
echo "  ours s: its \"Upgrade File Length\" line (just before the request header) to the device's \"stored\" line"
echo "  curl s: time_total - time_pretransfer (request header out to the verdict page in, so + ~RTT/2)"
echo "  ours read s: its own stamps, length line to \"Send end char\" (request header out, image read into memory)"
echo "  ours send s: its own stamps, \"Send end char\" to \"Send Bin File Length\" (the image handed to the kernel)"
echo "  RTT: median of 200 pings in the same run; RSS: peak, GNU time; the login before ours's upload is left out"
echo
printf '%s\n' "${httpRows[@]}" | awk '
    function num(x) { return x != "-" && x != "" }
    function text(x) { return x < 0 ? "-" : sprintf("%.3f", x) }
    BEGIN {
        printf "%-6s %-6s %8s | %8s %8s %8s %8s %9s | %9s %9s | %s\n", "image", "delay", "RTT ms",
               "ours s", "read s", "send s", "curl s", "ours/curl", "ours KiB", "curl KiB",
               "stored = image (ours, curl)"
    }
    {
        size = $1; delay = $2; rtt = $3
        ours = num($4) && num($7) ? $7 - $4 : -1
        read = num($4) && num($5) ? $5 - $4 : -1
        send = num($5) && num($6) ? $6 - $5 : -1
        curl = num($8) && num($9) ? $9 - $8 : -1
        ratio = (ours > 0 && curl > 0) ? sprintf("%.2f", ours / curl) : "-"
        printf("%-6s %-6s %8s | %8s %8s %8s %8s %9s | %9s %9s | %s, %s\n", size " MiB", "+" delay " ms", rtt,
               text(ours), text(read), text(send), text(curl), ratio, $10, $11, $12, $13)
    }'
# ---- FTP: the same shipped programs as for HTTP (methods http ftp); the device answers no probe.
ftpRows=()
for delay in "${delays[@]}"; do
    for size in "${sizes[@]}"; do
        run=$work/ftp-${size}M-${delay}ms
        mkdir -p "$run/store" "$run/tmp"
        chmod 0777 "$run/store" # the FTP server may run as another user
        ln -s "../${size}M/image.bin" "$run/image.bin"
        echo "bench: FTP, $size MiB, ${delay} ms added each way ..." >&2
        lan=(--router-addr "$kAddr")
        [ "$delay" -gt 0 ] && lan+=(--delay-ms "$delay" --delayer "$bin/nfdelay")
        printf -v router 'exec %q --device addr=%s,module=VN100,answers=none,ftp=on --password %q --store %q 2> >(exec %q >%q)' \
            "$bin/routersim" "$kAddr" "$kPassword" "$run/store" "$bin/linestamp" "$run/router.log"
        set +e
        "$root/tests/lan/testlan.sh" "${lan[@]}" --router "$router" -- \
            bash "$0" --pc-ftp "$run" "$work/${size}M/fwupgrade-http" "$bin/linestamp" \
            >"$run/lan.out" 2>"$run/lan.err"
        status=$?
        set -e
        if [ "$status" -ne 0 ]; then
            echo "bench: the test LAN run failed with status $status:" >&2
            tail -20 "$run/lan.err" >&2
            failures=$((failures + 1))
            continue
        fi
        # At the device: the "stored" line of each name, its byte count, and the server's time of the data
        # transfer of each (its "STOR PATH completed=1 bytes=N seconds=S" line).
        read -r curlEnd curlBytes curlData oursEnd oursBytes oursData < <(awk -v store="$run/store" '
            / routersim: ftp: stored [0-9]+ bytes in / {
                if ($NF == store "/curl.bin" && !curlEnd) { curlEnd = $1; curlBytes = $(NF - 3) }
                if ($NF == store "/image.bin" && !oursEnd) { oursEnd = $1; oursBytes = $(NF - 3) }
            }
            / STOR .* completed=1 / {
                for (i = 1; i <= NF; ++i) if ($i ~ /^seconds=/) seconds = substr($i, 9)
                if (index($0, " STOR " store "/curl.bin ") && !curlData) curlData = seconds
                if (index($0, " STOR " store "/image.bin ") && !oursData) oursData = seconds
            }
            END { printf "%s %s %s %s %s %s\n", curlEnd ? curlEnd : "-", curlBytes ? curlBytes : "-",
                  curlData ? curlData : "-", oursEnd ? oursEnd : "-", oursBytes ? oursBytes : "-",
                  oursData ? oursData : "-" }' "$run/router.log")
        # The clients' own stamps: after the login, and once the server's 226 is in (ours: the line after
        # "Put", the walk going on once the upload returned; its "Total upgrade file count" line comes only
        # after its QUIT).
        read -r oursStart oursDone < <(awk '
            start && !done { done = $1 }
            / Put Upgrade File without IDCheck >>/ && !start { start = $1 }
            END { printf "%s %s\n", start ? start : "-", done ? done : "-" }' "$run/ours.out")
        read -r curlStart curlDone < <(awk '
            / < 230 / && !start { start = $1 }
            / < 226 / && !done { done = $1 }
            END { printf "%s %s\n", start ? start : "-", done ? done : "-" }' "$run/curl.err")
        read -r curlPre curlTotal <"$run/curl.times" || true
        rtt=$(sed -n 's/.* time=\([0-9.]*\) ms$/\1/p' "$run/ping.txt" | sort -g |
            awk '{ t[NR] = $1 } END { if (NR) print NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')
        curlOk=no oursOk=no
        if [ "$(cat "$run/curl.status")" = 0 ] && [ "$curlBytes" = $((size << 20)) ] &&
            cmp -s "$run/image.bin" "$run/store/curl.bin"; then
            curlOk=yes
        fi
        if [ "$(cat "$run/ours.status")" = 0 ] && [ "$oursBytes" = $((size << 20)) ] &&
            cmp -s "$run/image.bin" "$run/store/image.bin" &&
            grep -q ' Total upgrade file count in FTP mode: 1$' "$run/ours.out" &&
            grep -q " Unsing FTP upgrade to : $kAddr success\$" "$run/ours.out"; then
            oursOk=yes
        fi
        [ "$curlOk" = yes ] && [ "$oursOk" = yes ] || failures=$((failures + 1))
        ftpRows+=("$size $delay ${rtt:--} $oursStart $oursEnd $curlStart $curlEnd $oursData $curlData \
${curlPre:--} ${curlTotal:--} $(tail -1 "$run/ours.rss") $(tail -1 "$run/curl.rss") $oursOk $curlOk \
$oursDone $curlDone")
    done
done

echo
echo "FTP upload of one image to the device FTP server (pyftpdlib) on the test LAN: fwupgrade (unattended put)"
echo "and curl -T --ftp-port -, both active mode"
echo "  ours s: its \"Put Upgrade File without IDCheck\" line (after its login) to the device's \"stored\" line"
echo "  curl s: the \"< 230\" line of its -v trace (its login's reply) to the device's \"stored\" line"
echo "  (all lines stamped by bench/linestamp on one clock; connection, login and ours's device search left out;"
echo "  the device's line comes from the server through routersim, at times a few ms late)"
echo "  ours 226 s, curl 226 s: the clients' own stamps only, from the same start to the line once the 226 is in"
echo "  (ours: the next line of its log, its walk going on once the upload returned; curl: \"< 226\")"
echo "  ours data, curl data: the server's own time of the data transfer in ms (pyftpdlib seconds=, 1 ms steps)"
echo "  curl -w s: curl's time_total - time_pretransfer (also holds the 226 reply)"
echo "  RTT: median of 200 pings in the same run; RSS: peak, GNU time"
echo
printf '%s\n' "${ftpRows[@]}" | awk '
    function num(x) { return x != "-" && x != "" }
    function text(x) { return x < 0 ? "-" : sprintf("%.3f", x) }
    function ms(x) { return num(x) ? sprintf("%.0f", 1000 * x) : "-" }
    BEGIN {
        printf "%-6s %-6s %8s | %8s %8s %9s | %10s %10s %13s | %9s %9s | %9s | %9s %9s | %s\n", "image", "delay",
               "RTT ms", "ours s", "curl s", "ours/curl", "ours 226 s", "curl 226 s", "ours/curl 226",
               "ours data", "curl data", "curl -w s", "ours KiB", "curl KiB", "stored = image (ours, curl)"
    }
    {
        size = $1; delay = $2; rtt = $3
        ours = num($4) && num($5) ? $5 - $4 : -1
        curl = num($6) && num($7) ? $7 - $6 : -1
        curlW = num($10) && num($11) ? $11 - $10 : -1
        ours226 = num($4) && num($16) ? $16 - $4 : -1
        curl226 = num($6) && num($17) ? $17 - $6 : -1
        ratio = (ours > 0 && curl > 0) ? sprintf("%.2f", ours / curl) : "-"
        ratio226 = (ours226 > 0 && curl226 > 0) ? sprintf("%.2f", ours226 / curl226) : "-"
        printf("%-6s %-6s %8s | %8s %8s %9s | %10s %10s %13s | %9s %9s | %9s | %9s %9s | %s, %s\n", size " MiB",
               "+" delay " ms", rtt, text(ours), text(curl), ratio, text(ours226), text(curl226), ratio226,
               ms($8), ms($9), text(curlW), $12, $13, $14, $15)
    }'
echo
echo "Runs and logs: $work"
if [ "$failures" -gt 0 ]; then
    echo "bench: $failures run(s) failed or stored something else than the image" >&2
    exit 1
fi
