#!/usr/bin/python3
"""The disc cache's folder as a user changes it, driven from outside the
process with synthesised X input on a display of its own:

File > Preferences > Cache... opens "Cache Settings"; "Change Location..."
with a folder in which no file can be written, chosen in the window
system's folder chooser, is refused with a message box, and OK then keeps
the disc cache where it was (in the settings store too); an empty folder
that can be written is taken, and OK stores it. The program is closed
through its close button with exit status 0, no toolkit complaint and no
crash report.

The administrator may write in any folder whatever its permissions say, so
when the test runs as root the program runs without that right
(setpriv), and a folder without write permission is out of its reach as it
is out of an ordinary user's.

Usage: cache_settings_test.py PROGRAM [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import shutil
import stat
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from Xlib import X  # noqa: E402

from driver import layout  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

DIALOG = "Cache Settings"
CHOOSER = "Choose Directory for Disc Cache Deployment"
# Points of the "Cache Settings" dialog, as fractions of its size: the
# "Change Location..." and "OK" buttons.
CHANGE_LOCATION = (0.801, 0.524)
OK_BUTTON = (0.479, 0.955)


def program_command(program, work):
    """The program as this test starts it: as root, through a script that
    takes away the administrator's right to write anywhere."""
    if os.geteuid() != 0:
        return program
    setpriv = shutil.which("setpriv")
    if setpriv is None:
        raise DriverError("setpriv is needed to run the program without the administrator's rights")
    script = os.path.join(work, "tavelo-without-override.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\nexec %s --bounding-set=-dac_override,-dac_read_search -- %s \"$@\"\n"
                % (setpriv, program))
    os.chmod(script, 0o755)
    return script


def stored_root(home):
    """The disc cache folder in the settings store, or None."""
    path = os.path.join(home, "config", "Norvane", "lumvex", ".values")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "disc_cache_root_path" and len(fields) == 3:
                return fields[2]
    return None


class CacheSettings:
    def __init__(self, program, work):
        self.work = work
        os.makedirs(work, exist_ok=True)
        self.p = Program(program_command(program, work), os.path.join(work, "session"),
                         artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)
        self.folders = os.path.join(work, "folders")
        self.locked = os.path.join(self.folders, "locked")
        self.fresh = os.path.join(self.folders, "fresh")
        self.default_root = None

    def open_dialog(self):
        self.p.choose("File", "Preferences/Cache...")
        dialog = self.p.screen.wait_window(DIALOG, 15)
        time.sleep(0.5)
        return dialog

    def click(self, dialog, point):
        x, y = layout.dialog_point(dialog, point)
        self.p.screen.click(x, y)

    def choose_location(self, dialog, folder):
        """Change Location... with `folder` typed into the folder chooser;
        answers the message box shown afterwards, if any, once it has been
        answered."""
        known = {w.id for w in self.p.dialogs()}
        self.click(dialog, CHANGE_LOCATION)
        self.p.answer_file_chooser(CHOOSER, folder, timeout=15)

        def message():
            fresh = [w for w in self.p.dialogs() if w.id not in known and w.title != CHOOSER]
            return fresh[-1] if fresh else None
        try:
            box = wait_until(message, 3, interval=0.2, what="a message box")
        except DriverError:
            return None
        time.sleep(0.5)
        self.p.shot("message")
        self.p.screen.focus(box)
        self.p.screen.key("Return")
        wait_until(lambda: box.id not in [w.id for w in self.p.dialogs()], 10, what="the message box to close")
        return box

    def raise_dialog(self, dialog):
        """Puts the dialog above the main window again, as a window manager
        keeps a dialog above the window it belongs to (the display has no
        window manager, and the main window comes up over the dialog when
        a message box of the program closes)."""
        window = self.p.screen.d.create_resource_object("window", dialog.id)
        window.configure(stack_mode=X.Above)
        self.p.screen.d.sync()
        time.sleep(0.3)

    def press_ok(self, dialog):
        self.click(dialog, OK_BUTTON)
        wait_until(lambda: DIALOG not in self.p.screen.titles(), 10, what="the Cache Settings dialog to close")

    # Steps ------------------------------------------------------------------

    def start(self):
        os.makedirs(self.locked)
        os.chmod(self.locked, stat.S_IRUSR | stat.S_IXUSR | stat.S_IRGRP | stat.S_IXGRP)
        self.p.start()
        self.p.wait_title("Tavelo")
        self.default_root = os.path.join(self.p.home, "cache", "Norvane", "lumvex") + "/"

    def unwritable_refused(self):
        dialog = self.open_dialog()
        self.p.shot("cache-settings")
        box = self.choose_location(dialog, self.locked)
        check(box is not None, "no message box refused the folder %s, where no file can be written" % self.locked)
        dialog = self.p.screen.wait_window(DIALOG, 5)
        self.raise_dialog(dialog)
        self.p.shot("after-refusal")
        self.press_ok(dialog)
        stored = stored_root(self.p.home)
        check(stored in (None, self.default_root),
              "the settings store holds the disc cache folder %r, not %r" % (stored, self.default_root))
        check(not os.listdir(self.locked), "the refused folder is no longer empty")

    def writable_taken(self):
        os.makedirs(self.fresh)
        dialog = self.open_dialog()
        box = self.choose_location(dialog, self.fresh)
        check(box is None, "a message box refused the empty folder %s" % self.fresh)
        dialog = self.p.screen.wait_window(DIALOG, 5)
        self.p.shot("fresh-chosen")
        self.press_ok(dialog)
        stored = wait_until(lambda: stored_root(self.p.home), 10, what="the stored disc cache folder")
        check(stored == self.fresh + "/", "the settings store holds the disc cache folder %r, not %r"
              % (stored, self.fresh + "/"))

    def quit(self):
        self.p.quit(timeout=60)

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("a folder no file can be written in is refused", self.unwritable_refused, needs=["start"])
            s.run("an empty writable folder is taken", self.writable_taken, needs=["start"])
            s.run("quit through the close button", self.quit, needs=["start"])

        def stopped():
            # Left writable, so that the work folder can be removed.
            if os.path.isdir(self.locked):
                os.chmod(self.locked, stat.S_IRWXU)

        return run_steps(s, self.p, steps, stopped=stopped)


if __name__ == "__main__":
    test_main(__doc__, "cache", lambda args, work: CacheSettings(os.path.abspath(args.program), work).run(),
              footage_tool=False)
