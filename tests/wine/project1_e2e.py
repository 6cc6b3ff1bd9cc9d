#!/usr/bin/env python3
"""project1_e2e.py PROJECT1 DEVICE MAP_PORT PRELOAD PORTS: Project1.exe of the Windows
package under Wine, on an X server (run it under xvfb-run), against the virtual relay
device (DEVICE, a Linux program) on a pseudo-terminal mapped as COM1 of $WINEPREFIX.

Drives the window as a user would, with the X server's own mouse and keyboard (xdotool):
"Load From Device", an edit of the relay time-out, "Write To Device", "Write To File..."
through the native file dialog, "Crear All" and "Load From File..." of that file, "Write
To Device" again, then "Configure Port..." -> COM3 -> OK. Checks the device's state as it
saves it on exit, the settings file (a genuine Access file, read with mdbtools), and the
choice in Wine's registry."""
import os
import subprocess
import sys
import tempfile
import time

TITLE = "Varnix V.1.2"
NUMBERS = ["+3859%07d" % (slot * 7919 % 10000000) for slot in range(1, 6)]


def access_rows(path, table):
    # The rows of a table of an Access file, each a list of its values as text.
    out = subprocess.run(["mdb-export", "-H", "-Q", "-d", "\t", path, table],
                         capture_output=True, text=True, check=True).stdout
    return [line.split("\t") for line in out.splitlines()]


def fail(text):
    # What the screen showed, for the one reading the failure.
    shot = os.path.abspath("project1_e2e_failure.png")
    subprocess.run(["import", "-window", "root", shot], capture_output=True)
    windows = subprocess.run(["xdotool", "search", "--name", "."], capture_output=True,
                             text=True).stdout.split()
    names = [subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                            text=True).stdout.strip() for w in windows]
    sys.exit("project1_e2e: %s (windows: %r; screen: %s)" % (text, names, shot))


def wait_for(what, condition, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


def window(name, seconds=60):
    return wait_for("the window " + name,
                    lambda: (xdotool("search", "--onlyvisible", "--name", "^%s$" % name)
                             or [None])[0], seconds)


def click(win, x, y):
    """A left click at (x, y) of the window's client area."""
    xdotool("mousemove", "--window", win, str(x), str(y), "click", "1")
    time.sleep(0.3)


def keys(win, *names):
    xdotool("windowfocus", "--sync", win)
    xdotool("key", "--delay", "50", *names)
    time.sleep(0.3)


def type_text(win, text):
    xdotool("windowfocus", "--sync", win)
    xdotool("type", "--delay", "30", text)
    time.sleep(0.3)


def settled(path, quiet=1.5, seconds=60):
    """Waits until the device's log has grown and then stayed the same for `quiet` s."""
    start = os.path.getsize(path)
    wait_for("the device to be spoken to", lambda: os.path.getsize(path) > start, seconds)
    last, since = -1, time.monotonic()
    while time.monotonic() - since < quiet:
        size = os.path.getsize(path)
        if size != last:
            last, since = size, time.monotonic()
        time.sleep(0.1)


def choose_file(path):
    """Answers the open or save dialog, native under Wine, with `path`."""
    time.sleep(1)
    # Wine's file dialog has no title: it is the visible window that is new.
    dialog = wait_for("a file dialog", lambda: [w for w in xdotool(
        "search", "--onlyvisible", "--classname", ".") if w not in known] or None)[0]
    type_text(dialog, winpath(path))
    keys(dialog, "Return")


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def close_message(title):
    box = window(title, 30)
    keys(box, "Return")
    wait_for("the message box to close",
             lambda: not xdotool("search", "--onlyvisible", "--name", "^%s$" % title))


def registry_port():
    out = subprocess.run(["wine", "reg", "query", "HKCU\\Software\\ZUR\\Pellion", "/v", "COM1"],
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        if "REG_DWORD" in line:
            return int(line.split()[-1], 16)
    return None


def device_state(path):
    state = {}
    with open(path) as text:
        for line in text:
            key, _, value = line.rstrip("\n").partition("=")
            state[key] = value
    return state


known = []


def main():
    project1, device, map_port, preload, ports = sys.argv[1:6]
    prefix = os.environ["WINEPREFIX"]
    if not os.environ.get("DISPLAY"):
        fail("no X server (run under xvfb-run)")
    with tempfile.TemporaryDirectory(dir=os.path.dirname(os.path.abspath(ports))) as work:
        state_file = os.path.join(work, "device.state")
        log = os.path.join(work, "device.log")
        with open(state_file, "w") as out:
            out.write("timeout=2500\nflag=0\npassword=1234\n")
        os.makedirs(ports, exist_ok=True)
        relay = subprocess.Popen(
            [device, "--link", "COM1", "--numbers", "5", "--state", state_file, "--save",
             "--log", log], env=dict(os.environ, XDG_CONFIG_HOME=ports),
            stdout=subprocess.PIPE, text=True)
        program = None
        try:
            pty = relay.stdout.readline().strip()
            if not relay.stdout.readline().startswith("linked as COM1"):
                fail("the device did not link COM1")
            link = os.path.join(ports, "ZUR", "ports", "COM1")
            com1 = os.path.join(prefix, "dosdevices", "com1")
            # The prefix's programs must belong to this X server: start afresh.
            subprocess.run(["wineserver", "-k"], capture_output=True)
            subprocess.run(["wineserver", "-w"], capture_output=True)
            if not os.path.islink(com1) or os.readlink(com1) != link:
                subprocess.run([map_port, "COM1", link], check=True)
            # Never start the program unless COM1 leads to this device's own terminal.
            if os.readlink(com1) != link or os.path.realpath(link) != pty:
                fail("%s does not lead to the device's %s" % (com1, pty))
            subprocess.run(["wine", "reg", "add", "HKCU\\Software\\ZUR\\Pellion", "/v", "COM1",
                            "/t", "REG_DWORD", "/d", "0", "/f"], check=True, capture_output=True)

            program = subprocess.Popen(["wine", project1], env=dict(os.environ, LD_PRELOAD=preload))
            main_window = window(TITLE, 120)
            known.extend(xdotool("search", "--classname", "."))
            time.sleep(1)

            click(main_window, 108, 562)  # Load From Device
            settled(log)
            click(main_window, 204, 106)  # the relay time-out
            keys(main_window, "End", *["BackSpace"] * 8)
            type_text(main_window, "3000")
            click(main_window, 232, 562)  # Write To Device
            settled(log)

            saved = os.path.join(work, "saved")
            click(main_window, 232, 538)  # Write To File...
            choose_file(saved)
            close_message("message")
            saved += ".mdb"
            if not os.path.exists(saved):
                fail("no %s; the folder has %r" % (saved, os.listdir(work)))
            phones = [phone for _, phone in sorted((int(i), phone) for i, phone in
                                                   access_rows(saved, "phone")) if phone]
            times = [int(row[0]) for row in access_rows(saved, "pcong")]
            if phones != NUMBERS or times != [3000]:
                fail("the file holds %r and %r" % (phones, times))

            click(main_window, 108, 586)  # Crear All: empty table, time-out 0
            click(main_window, 108, 538)  # Load From File...
            choose_file(saved)
            time.sleep(1)
            click(main_window, 232, 562)  # Write To Device what was loaded
            settled(log)

            click(main_window, 232, 586)  # Configure Port...
            dialog = window("Com Setup", 30)
            click(dialog, 8 + 85 + 72, 8 + 26 + 10)  # open the list of ports
            keys(dialog, "Down", "Down", "Return")  # COM3
            click(dialog, 8 + 88 + 44, 8 + 128 + 16)  # OK
            wait_for("the port dialog to close",
                     lambda: not xdotool("search", "--onlyvisible", "--name", "^Com Setup$"))
            wait_for("the port choice in the registry",
                              lambda: registry_port() == 2 or None, 10)
        finally:
            subprocess.run(["wineserver", "-k"], capture_output=True)
            if program is not None:
                program.wait(30)
            relay.terminate()
            relay.wait(30)
        state = device_state(state_file)
        held = [state.get(str(slot), "") for slot in range(1, 6)]
        if held != NUMBERS or state.get("timeout") != "3000" or "6" in state:
            fail("the device holds %r" % state)
        print("project1_e2e: device, file and registry (COM3) as expected")


if __name__ == "__main__":
    main()
