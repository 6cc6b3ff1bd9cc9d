#!/usr/bin/env python3
"""mapped_port_check.py MAP_PORT PRELOAD PEER: the Linux end of the mapped-port check.

Makes a pseudo-terminal, maps COM12 of the Wine prefix $WINEPREFIX to it with MAP_PORT
(which checks where dosdevices/com12 points), checks that link again, then runs the Windows
program PEER under Wine with the modem-line library PRELOAD, and plays the far end: answers
"R" with five bytes, expects them echoed, raises carrier, and expects "C" with DTR raised.
COM12 because a name from COM10 on opens only in the device namespace."""
import os
import select
import subprocess
import sys
import tempfile
import time
import tty

TIOCM_DTR, TIOCM_CTS, TIOCM_CAR, TIOCM_DSR = 0x002, 0x020, 0x040, 0x100
NAME = "COM12"


def expect(master, wanted, deadline):
    got = b""
    while len(got) < len(wanted):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([master], [], [], left)[0]:
            sys.exit("timed out waiting for %r, got %r" % (wanted, got))
        got += os.read(master, len(wanted) - len(got))
    if got != wanted:
        sys.exit("expected %r, got %r" % (wanted, got))


def write_lines(path, bits):
    with open(path + ".new", "w") as out:
        out.write("%d\n" % bits)
    os.replace(path + ".new", path)


def dtr(path):
    with open(path) as state:
        return int(state.read()) & TIOCM_DTR != 0


def main():
    map_port, preload, peer = sys.argv[1:4]
    prefix = os.environ["WINEPREFIX"]
    master, slave = os.openpty()
    tty.setraw(master)
    with tempfile.TemporaryDirectory() as folder:
        link = os.path.join(folder, "port")
        os.symlink(os.ttyname(slave), link)
        subprocess.run([map_port, NAME, link], check=True)
        device = os.path.join(prefix, "dosdevices", NAME.lower())
        if os.readlink(device) != link:
            sys.exit("%s points at %s, not at our pseudo-terminal" % (device, os.readlink(device)))
        lines = os.path.join(folder, "lines")
        write_lines(lines, TIOCM_CTS | TIOCM_DSR)
        env = dict(os.environ, LD_PRELOAD=preload, VARNIX_MODEM_LINES=lines)
        program = subprocess.Popen(["wine", peer, NAME], env=env)
        deadline = time.monotonic() + 60
        try:
            expect(master, b"R", deadline)
            if dtr(lines):
                sys.exit("DTR was on after the program cleared it")
            time.sleep(0.5)
            os.write(master, b"\x00\xffhi\n")
            expect(master, b"\x00\xffhi\n", deadline)
            time.sleep(0.5)
            write_lines(lines, TIOCM_CTS | TIOCM_DSR | TIOCM_CAR)
            expect(master, b"C", deadline)
            if not dtr(lines):
                sys.exit("DTR was not raised")
            status = program.wait(max(1, deadline - time.monotonic()))
        finally:
            if program.poll() is None:
                program.kill()
    sys.exit(status)


if __name__ == "__main__":
    main()
