#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 for the FTP client's tests, with the faults a device's server shows.

Usage: ftp_server.py ROOT PASSWORD COMMAND_LOG

User "root" logs in with PASSWORD into ROOT, with every permission. Each command line received is
appended to COMMAND_LOG (PASS with its argument hidden). The port goes to stdout once the server
listens. Names with a behaviour of their own:
  refused.bin    STOR and RETR are answered "550 refused.bin: Permission denied."
  answer429.bin  the data is stored, then the final reply is "429 ..." instead of 226
  stall.bin      the server stops reading the data connection after 64 KiB, for good
  slow.bin       the server reads 16 KiB at a time, pausing 20 ms after each
  noreply.bin    the data is stored, and no final reply ever comes
  mute.bin       STOR is never answered
  deafquit.bin   stored as usual; then this session never answers QUIT
"""
import logging
import os
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

STALL_AFTER = 64 * 1024
SLOW_CHUNK = 16 * 1024
SLOW_PAUSE = 0.02


class DeviceAuthorizer(DummyAuthorizer):
    """Refuses a login with the words small devices' servers use."""

    def validate_authentication(self, username, password, handler):
        try:
            super().validate_authentication(username, password, handler)
        except AuthenticationFailed:
            raise AuthenticationFailed("Login incorrect.")


class FaultDTP(DTPHandler):
    def _name(self):
        return os.path.basename(self.file_obj.name) if self.file_obj is not None else ""

    def handle_read(self):
        name = self._name()
        if name == "slow.bin":
            self.ac_in_buffer_size = SLOW_CHUNK
        super().handle_read()
        if self._closed:
            return
        if name == "stall.bin" and self.tot_bytes_received >= STALL_AFTER:
            self.del_channel()  # nothing reads this socket again
        elif name == "slow.bin":
            self.del_channel()
            self.ioloop.call_later(SLOW_PAUSE, self._resume)

    handle_read_event = handle_read

    def _resume(self):
        if not self._closed:
            self.add_channel(events=self.ioloop.READ)

    def close(self):
        if not self._closed and self.receive and self._resp and self._resp[0].startswith("226"):
            if self._name() == "answer429.bin":
                self._resp = ("429 answer429.bin: Image refused by the device.", self._resp[1])
            elif self._name() == "noreply.bin":
                self._resp = None
        super().close()


class FaultHandler(FTPHandler):
    dtp_handler = FaultDTP
    command_log = None
    auth_failed_timeout = 0  # a device refuses at once; pyftpdlib would wait 3 s

    def pre_process_command(self, line, cmd, arg):
        logged = "PASS ******" if cmd == "PASS" else line
        with open(self.command_log, "a") as log:
            log.write(logged + "\n")
        return super().pre_process_command(line, cmd, arg)

    deaf_to_quit = False

    def ftp_STOR(self, file, mode="w"):
        name = os.path.basename(file)
        if name == "refused.bin":
            self.respond("550 refused.bin: Permission denied.")
            return None
        if name == "mute.bin":
            return None
        if name == "deafquit.bin":
            self.deaf_to_quit = True
        return super().ftp_STOR(file, mode)

    def ftp_QUIT(self, line):
        if self.deaf_to_quit:
            return None
        return super().ftp_QUIT(line)

    def ftp_RETR(self, file):
        if os.path.basename(file) == "refused.bin":
            self.respond("550 refused.bin: Permission denied.")
            return None
        return super().ftp_RETR(file)


def main():
    root, password, command_log = sys.argv[1:4]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DeviceAuthorizer()
    authorizer.add_user("root", password, root, perm="elradfmw")
    FaultHandler.authorizer = authorizer
    FaultHandler.command_log = command_log
    FaultHandler.banner = "FTP server ready."
    server = FTPServer(("127.0.0.1", 0), FaultHandler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
