#!/usr/bin/env python3
# tools/routersim/ftp_device.py: the FTP server of one simulated device (pyftpdlib), started by routersim
# inside the router namespace. One user with full rights in the store folder, and the faults routersim's
# command line asks for. Prints "ftp_device: ready" on stdout once it listens; every other line it writes
# (stdout and stderr) is a log line that routersim passes on with its own prefix.
import argparse
import io
import logging
import os
import re
import signal
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FileProducer, FTPHandler
from pyftpdlib.servers import FTPServer

READY_LINE = "ftp_device: ready"


def parse_args():
    parser = argparse.ArgumentParser(description="The FTP server of one simulated device.")
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--user", default="root")
    parser.add_argument("--password", required=True)
    parser.add_argument("--home", required=True, help="the store folder, the user's home")
    parser.add_argument("--refuse-login", action="store_true", help="answer every login 530")
    parser.add_argument("--refuse-name", default=None, help="a STOR of this name answers 550")
    parser.add_argument("--reply-429", default=None,
                        help="a STOR of this name takes the data, keeps the file and answers 429")
    parser.add_argument("--stall-after", type=int, default=None,
                        help="stop reading a STOR's data connection after this many bytes")
    parser.add_argument("--data-image", required=True,
                        help="the file of the device's stored data, read by RETR of \"offset#length\" names")
    parser.add_argument("--get-refuse", action="store_true",
                        help="answer every RETR of an \"offset#length\" name 550")
    parser.add_argument("--get-error", action="store_true",
                        help="answer every RETR of an \"offset#length\" name 451")
    return parser.parse_args()


def say(text):
    print(text, flush=True)


class RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Authentication failed.")


def make_dtp_handler(args):
    class DeviceDTPHandler(DTPHandler):
        def __init__(self, sock, cmd_channel):
            super().__init__(sock, cmd_channel)
            self._stalled = False

        def handle_read(self):
            if self.receive and args.stall_after is not None:
                room = args.stall_after - self.tot_bytes_received
                if room <= 0:
                    self._stall()
                    return
                self._read_at_most(room)
                if self.tot_bytes_received >= args.stall_after:
                    self._stall()
                return
            super().handle_read()

        handle_read_event = handle_read

        def _read_at_most(self, room):
            size = self.ac_in_buffer_size
            self.ac_in_buffer_size = min(size, room)
            try:
                super().handle_read()
            finally:
                self.ac_in_buffer_size = size

        def _stall(self):
            if self._stalled:
                return
            self._stalled = True
            # The connection stays open but is no longer read, so the client's sending blocks once the
            # socket buffers are full; no idle timeout ends it while routersim runs.
            self.del_channel()
            if self._idler is not None and not self._idler.cancelled:
                self._idler.cancel()
            say("stalled %s after %d bytes" % (self.file_obj.name, self.tot_bytes_received))

        def close(self):
            if (self._resp and self._resp[0].startswith("226") and self.receive and self.file_obj is not None
                    and os.path.basename(self.file_obj.name) == args.reply_429):
                self._resp = ("429 Too many uploads; try again later.", self._resp[1])
            super().close()

    return DeviceDTPHandler


# The uploads under way, removed should the server end before they do.
unfinished = set()


def drop(file):
    unfinished.discard(file)
    try:
        os.remove(file)
    except OSError:
        pass
    say("dropped the incomplete upload %s" % file)


# A RETR of such a name reads a stretch of the data image: decimal offset and length.
STRETCH_NAME = re.compile(r"([0-9]+)#([0-9]+)")


class Stretch(io.BytesIO):
    """The bytes of one download, with the name pyftpdlib logs the transfer under."""

    def __init__(self, data, name):
        super().__init__(data)
        self.name = name


def make_handler(args, authorizer, image):
    def stretch_of(file):
        """The offset and length of an "OFFSET#LENGTH" name, else None."""
        match = STRETCH_NAME.fullmatch(os.path.basename(file))
        return None if match is None else (int(match.group(1)), int(match.group(2)))

    class DeviceFTPHandler(FTPHandler):
        def ftp_SIZE(self, path):
            # A client that asks for the size before its RETR (curl does) is told the clipped length.
            stretch = stretch_of(path)
            if stretch is None or self._current_type == "a":
                return super().ftp_SIZE(path)
            offset, length = stretch
            self.respond("213 %d" % len(image[offset:offset + length]))
            return None

        def ftp_RETR(self, file):
            match = STRETCH_NAME.fullmatch(os.path.basename(file))
            if match is None:
                return super().ftp_RETR(file)
            name = match.group(0)
            if args.get_refuse:
                self.respond("550 %s: no such stretch of the stored data." % name)
                return None
            if args.get_error:
                self.respond("451 Requested action aborted: local error in processing.")
                return None
            self._restart_position = 0
            offset, length = int(match.group(1)), int(match.group(2))
            data = image[offset:offset + length]
            say("serving %d bytes of the data image from %d for %s" % (len(data), offset, name))
            stretch = Stretch(data, name)
            self.push_dtp_data(FileProducer(stretch, self._current_type), isproducer=True, file=stretch,
                               cmd="RETR")
            return name

        def ftp_STOR(self, file, mode="w"):
            if args.refuse_name is not None and os.path.basename(file) == args.refuse_name:
                self.respond("550 Not enough space for %s." % args.refuse_name)
                return None
            stored = super().ftp_STOR(file, mode)
            if stored is not None:
                unfinished.add(stored)
            return stored

        def on_file_received(self, file):
            unfinished.discard(file)
            say("stored %d bytes in %s" % (os.path.getsize(file), file))

        def on_incomplete_file_received(self, file):
            # Nothing half-written stays in the store.
            drop(file)

    DeviceFTPHandler.authorizer = authorizer
    DeviceFTPHandler.dtp_handler = make_dtp_handler(args)
    DeviceFTPHandler.auth_failed_timeout = 0
    DeviceFTPHandler.banner = "routersim FTP ready."
    DeviceFTPHandler.passive_ports = None
    return DeviceFTPHandler


def end_on_signal(signum, frame):
    # routersim and the harness may both send SIGTERM; the first one ends the server, cleanly.
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    sys.exit(0)


def main():
    args = parse_args()
    logging.basicConfig(stream=sys.stdout, level=logging.INFO, format="%(message)s")
    authorizer = RefusingAuthorizer() if args.refuse_login else DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.home), perm="elradfmw")
    try:
        with open(args.data_image, "rb") as image_file:
            image = image_file.read()
    except OSError as error:
        say("cannot read the data image %s: %s" % (args.data_image, error))
        return 1
    handler = make_handler(args, authorizer, image)
    try:
        server = FTPServer((args.address, args.port), handler)
    except OSError as error:
        say("cannot listen on %s:%d: %s" % (args.address, args.port, error))
        return 1
    say("listening on %s:%d, user %s, home %s" % (args.address, args.port, args.user, args.home))
    say(READY_LINE)
    signal.signal(signal.SIGTERM, end_on_signal)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        for file in list(unfinished):
            drop(file)
    return 0


if __name__ == "__main__":
    sys.exit(main())
