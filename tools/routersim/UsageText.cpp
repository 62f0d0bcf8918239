// tools/routersim/UsageText.cpp: the text of routersim --help.
#include "tools/routersim/Options.h"

namespace routersim {

const char* usageText()
{
    return R"(Usage: routersim --device SPEC [--device SPEC...] [LOADER OPTIONS] [WEB OPTIONS]
                 [FTP OPTIONS] [--data-image FILE]

Simulates small routers on the LAN for the device search of fwupgrade, the TFTP
recovery of crashed ones and the web and FTP upgrades of working ones. It binds
UDP ports 9, 67 and 69 on all addresses, TCP port 80 on the address of each web
device and TCP port 21 on that of each FTP device, so it runs as root, and it
belongs only inside the router namespace of the test LAN (tests/lan/testlan.sh).

SPEC is a comma-separated list of KEY=VALUE (values cannot hold a comma):
  addr=A.B.C.D      the device's address; it must be an address of this host
                    (required). Several devices may share one address: each answers.
  module=TEXT       module name, at most 23 bytes (required)
  detail=TEXT       detail text, at most 31 bytes (default empty)
  answers=LIST      the probes answered, joined by '+': normal, boot, crash,
                    default; or all, or none (default all)
  reply-length=N    cut every reply of this device to its first N bytes
                    (a shorter reply is sent whole)
  tftp=on|off       on: the device is crashed and its TFTP loader takes files
                    on port 69 (default off); at most one such device an address
  web=on|off        on: the device serves its web interface on TCP port 80 of
                    its address (default off); not with tftp=on; at most one
                    such device an address
  ftp=on|off        on: the device runs an FTP server on TCP port 21 of its
                    address (default off); needs --store; not with tftp=on; at
                    most one such device an address

Probes answered (to the device's address or to 255.255.255.255):
  normal   port 9   51 44 00 00         -> 68 bytes, detail at 12, module at 44
  boot     port 67  548 bytes C0 01 01  -> 548 bytes C1, module at 108, detail at 140
  crash    port 69  TFTP read of "VN"   -> 00 03 00 01 "$Brisel" module 00
  default  port 9   51 51 00            -> 64 bytes (unicast to the device only)

TFTP loader (a device with tftp=on; writes to its own address only):
  Takes lock-step write requests (00 02 NAME 00 "octet" 00) and the DATA blocks
  of each on port 69, acknowledges each, and stores the file in the --store
  folder under NAME once its last (short) block came. A read request of "R!"
  reboots the device: it answers nothing for --reboot-ms, then only the normal
  probe, with the --recovered-detail text; its loader is gone.
  Every breach it sees (block repeated or skipped, DATA after the last block or
  for no transfer, more than 512 data bytes, a mode other than octet, ...) is
  logged as "routersim: protocol error: TEXT".
LOADER OPTIONS (for every loader):
  --store DIR           the folder the files go to (required with tftp=on; also
                        the FTP servers' home, required with ftp=on)
  --ack-from 69|transfer  replies leave from port 69 (default) or from a new
                        port of each transfer; DATA is taken on both
  --ack-delay-ms D      send each ACK D ms late (default 0)
  --reboot-ms N         how long a reboot is silent (default 1500)
  --recovered-detail T  the detail text after the reboot (default "recovered")
  --refuse-write N      answer the Nth write request (from 1) with an ERROR
  --refuse-name NAME    answer each write request of NAME with an ERROR
  --stop-after-block N  answer nothing at all after the ACK of block N
                        (block 0: the write request)
  --drop-ack N          leave out the ACK of block N, once

Web interface (a device with web=on), one request a connection, each reply
followed by the device closing the connection:
  GET /cgi-bin/logi?rc=@&PSW=P&rd=menu  the login; the device remembers for the
                 client's address whether P was the password
  GET /          the index page; with an Authorization header the Basic one
  POST /upg      the upload: fwupgrade's multipart body (part header of 139
                 bytes, images, end marker "\r\n----\r\n"), or a standard one
                 as curl -F "FN=@FILE" sends it ("Expect: 100-continue" is
                 answered); the images are written to the store as they come
  GET /config.bin?O=OFFSET&L=LENGTH  a stretch of the data image (see DATA
                 IMAGE), sent as "GET /config.bin?O=OFFSET&L=LENGTH HTTP/1.1"
                 and a blank line, no header lines, no login needed: "200 OK"
                 with "Content-Type: application/octet-stream", Content-Length
                 N and bytes OFFSET .. OFFSET+N-1 (N = LENGTH, clipped to the
                 image's end). A query other than O and L in decimal answers
                 400 and is logged as a protocol error.
  A request's head is read up to the blank line after its headers, so the
  login's empty line after its request line does not end it. Every difference
  from the bytes fwupgrade sends, a Content-Length other than the body's size
  (found once the client stops sending for 1 s), a wrong boundary line, part
  header or end marker is logged as "routersim: protocol error: TEXT", and the
  reply is sent all the same.
WEB OPTIONS (for every web device):
  --password TEXT       the device password (default "admin"), also of FTP
  --user NAME           the user of Basic authorization (default "admin")
  --web-kind new|old|basic  how the device tells a wrong password (default new):
                        new    the index page carries <!--CAS:8003--> after a
                               login with the right password, else <!--CAS:0003-->
                        old    no tag; the login reply of a wrong password
                               carries <script>alert("...")</script>
                        basic  the index page without Authorization answers 401
                               with WWW-Authenticate; with the right user and
                               password 200 OK, with wrong ones 401
  --redirect PORT       the login on port 80 answers "301 Moved Permanently"
                        with "Location: http://ADDR:PORT"; the device listens
                        on PORT too and takes logins there
  --redirect-forever    every login answers 301: port 80 to the --redirect port
                        (default 8081), each port after it to the next, in a
                        ring of 10 ports, all listened on
  --login-404-once      the first login without the "rd=begin" line answers 404
  --verdict V           the answer of an upload (default 8000):
                        NNNN         200 OK with the tag <!--CAS:NNNN-->
                        plain        200 OK, no tag
                        alert:TEXT   200 OK with <script>alert("TEXT")</script>
                        status:NNN   status NNN, no tag
                        long         200 OK of 1464 bytes, one more than the
                                     client reads, ending in the tag 8000
  --close-early login|index|upload  close without a reply (an upload once its
                        body is in; nothing is stored); repeatable
  --keep-open login|index|upload    send the reply and keep the connection open
                        until the client closes it; repeatable
  --stall-upload-after N  stop reading an upload after N body bytes and keep
                        the connection open, so the client's send blocks
  --config-fault F      GET /config.bin fails (it is answered 200 OK without):
                        400    "HTTP/1.1 400 Bad Request" and a blank line only
                        404    a 404 Not Found page
                        cut    the 200 OK head with the full Content-Length,
                               then only the first half of the bytes, and the
                               close
                        no-ok  a "500 Internal Server Error" page
  --store DIR           also takes the uploads: each upload's images, back to
                        back without the end marker, go to DIR/upload-1.bin,
                        upload-2.bin, ... (counted per run), logged as
                        "routersim: web: stored N bytes in PATH"; without
                        --store uploads are read and dropped

FTP server (a device with ftp=on): pyftpdlib, run by routersim as a child process
(python3 ftp_device.py, next to the routersim binary) that ends with it. One
user, "root", with the --password of the web options (default "admin") and
every right (elradfmw) in its home, the --store folder, where uploads go under
their own names. Active (PORT, EPRT) and passive (PASV, EPSV) data connections.
Each stored file is logged as "routersim: ftp: stored N bytes in PATH"; an
upload that does not finish is removed. The server's own log lines follow
"routersim: ftp: " on stderr; a server that ends early is logged.
FTP OPTIONS (for every FTP device):
  --ftp-refuse-login    answer every login "530 Authentication failed."
  --ftp-refuse-name NAME  answer each STOR of NAME with 550, before any data
  --ftp-429 NAME        take each STOR of NAME whole and keep the file (logged
                        as stored), but answer "429 Too many uploads; try again
                        later." instead of 226
  --ftp-stall-after N   stop reading the data connection of each STOR after N
                        bytes and keep it open, so the client's upload stalls;
                        nothing is stored
  --ftp-get-refuse      answer every RETR of an "offset#length" name with 550
  --ftp-get-error       answer every RETR of an "offset#length" name "451
                        Requested action aborted: local error in processing."
A RETR of a name "OFFSET#LENGTH" (decimal, e.g. "256#16", in a URL "256%2316")
serves bytes OFFSET .. OFFSET+LENGTH-1 of the data image (clipped to its end),
logged as "routersim: ftp: serving N bytes of the data image from OFFSET for
NAME"; no such file is in the store. A SIZE of such a name answers 213 and
that clipped length (the switches above leave it so). Any other RETR or SIZE
reads the store.

DATA IMAGE (the stored data of every device with web=on or ftp=on, which
GET /config.bin and the FTP RETR of "OFFSET#LENGTH" read):
  --data-image FILE     the bytes of FILE (read at the start; it must exist)
  without it            a built-in image of 65536 bytes whose byte i is
                        (i * 7 + 3) & 0xFF; the FTP servers read it from a
                        private temporary folder that routersim removes at its
                        end

Prints one line per datagram received and sent and per web request on stderr,
"routersim: ready" on stdout once its sockets are bound and every FTP server
said it is ready (within 10 s, else routersim ends with status 1), and ends with
status 0 on SIGTERM or SIGINT.

Examples:
  routersim --device addr=192.168.0.1,module=XY,detail=1.0,answers=normal+boot
  routersim --device addr=192.168.0.1,module=XY,web=on --password secret \
            --store /tmp/uploads
  routersim --device addr=192.168.0.1,module=XY,web=on,ftp=on --store /tmp/up \
            --ftp-stall-after 65536
  routersim --device addr=192.168.0.1,module=XY,web=on,ftp=on --store /tmp/up \
            --data-image /tmp/flash.bin --config-fault cut

Exit status: 0 ended by a signal, 1 runtime failure, 2 bad command line.
)";
}

} // namespace routersim
