#!/usr/bin/python3
"""A frame whose file cannot be read, as a user meets it, driven from
outside the process with synthesised X input on a display of its own:

a PNG sequence of six solid colours whose third file holds a few lines of
text instead of a picture. File > New Project... on its first file; Time >
Go to Frame... 1 shows green; Go to Frame... 2 shows black, never the green
of the frame before; Go to Frame... 3 shows its own colour again. Played
from frame 2 (Time > Play Forward), the view goes on past the damaged
frame to the frames after it. The painter names the damaged file on
the diagnostic stream, and that is all it writes there.

Usage: unreadable_frame_test.py PROGRAM [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import layout  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

WIDTH, HEIGHT = 320, 240
# The frames' colours (red, green, blue): red, green, orange, yellow, blue,
# magenta; frame 2's file is damaged.
COLOURS = [(220, 30, 30), (30, 200, 40), (240, 140, 20), (230, 220, 30), (40, 60, 220), (200, 40, 200)]
DAMAGED = 2
BLACK = (0, 0, 0)


def close(a, b, tolerance=12):
    return all(abs(int(x) - int(y)) <= tolerance for x, y in zip(a, b))


class Flow:
    def __init__(self, program, work):
        self.folder = os.path.join(work, "footage")
        os.makedirs(self.folder, exist_ok=True)
        for i, colour in enumerate(COLOURS):
            path = os.path.join(self.folder, "f_%03d.png" % i)
            if i == DAMAGED:
                with open(path, "w") as f:
                    f.write("not a picture\nbut a few lines\nof text\n")
            else:
                Image.new("RGB", (WIDTH, HEIGHT), colour).save(path)
        self.damaged = os.path.join(self.folder, "f_%03d.png" % DAMAGED)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.close_dialogs)
        self.centre = None

    # Helpers --------------------------------------------------------------

    def shown_colour(self):
        x, y = self.centre
        return tuple(int(v) for v in self.p.screen.grab((x, y, x + 1, y + 1))[0, 0])

    def wait_colour(self, colour, what, timeout=15):
        def shown():
            return close(self.shown_colour(), colour)
        try:
            wait_until(shown, timeout, interval=0.3, what=what)
        finally:
            self.p.shot(what.replace(" ", "-"))

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def new_project(self):
        self.p.new_project(os.path.join(self.folder, "f_000.png"))

        def shown():
            image = self.p.screen.screenshot()
            box = layout.picture_box(image, layout.view_image_area(self.p.frame(image)))
            ok = box is not None and abs(box.width - WIDTH) <= 2 and abs(box.height - HEIGHT) <= 2
            return box if ok else None
        box = wait_until(shown, 20, interval=0.5, what="the first frame at 100% in the view")
        self.centre = tuple(int(v) for v in box.centre())
        self.wait_colour(COLOURS[0], "frame 0 shown")

    def frame_before(self):
        self.p.go_to_frame(1)
        self.wait_colour(COLOURS[1], "frame 1 shown")

    def damaged_frame(self):
        """The damaged frame shows black, and stays black: not the frame
        before it, not after a while either."""
        self.p.go_to_frame(DAMAGED)
        self.wait_colour(BLACK, "the damaged frame shown black")
        time.sleep(1.5)
        colour = self.shown_colour()
        check(close(colour, BLACK), "the damaged frame shows %s after a while, not black" % (colour,))
        report = self.p.stderr()
        check("thread error: " in report and self.damaged in report,
              "the diagnostic stream does not name the damaged file: %r" % report[-2000:])

    def frame_after(self):
        self.p.go_to_frame(DAMAGED + 1)
        self.wait_colour(COLOURS[DAMAGED + 1], "frame 3 shown")

    def play_past(self):
        """Played (in a loop, as a fresh settings folder has it) from the
        damaged frame, the view shows the frames after it in turn."""
        self.p.go_to_frame(DAMAGED)
        self.wait_colour(BLACK, "the damaged frame shown again")
        self.p.choose("Time", "Play Forward")
        after = {i: False for i in range(DAMAGED + 1, len(COLOURS))}
        end = time.monotonic() + 15
        while not all(after.values()) and time.monotonic() < end:
            colour = self.shown_colour()
            for i in after:
                after[i] = after[i] or close(colour, COLOURS[i])
            time.sleep(0.01)
        self.p.shot("playing")
        self.p.choose("Time", "Pause")
        missing = [i for i, seen in after.items() if not seen]
        check(not missing, "playing from the damaged frame never showed frame(s) %s" % missing)

    def quit(self):
        self.p.quit()

    def check_clean(self):
        """The painter's reports of the damaged file are expected; nothing
        else may reach the diagnostic stream."""
        expected = "thread error: Gdiplus::Bitmap reading failure: "
        others = [line for line in self.p.complaints() if not (expected in line and self.damaged in line)]
        reports = self.p.crash_reports()
        check(not reports, "the program wrote a crash report: %s" % (reports[:1],))
        if others:
            raise DriverError("the program wrote %d complaint(s): %s" % (len(others), "; ".join(others[:6])))

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("File > New Project... on the sequence", self.new_project, fatal=True)
            s.run("Go to Frame 1: its colour", self.frame_before)
            s.run("Go to Frame 2: black, not frame 1", self.damaged_frame)
            s.run("Go to Frame 3: its colour", self.frame_after)
            s.run("played past the damaged frame", self.play_past)
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps, clean=self.check_clean)


if __name__ == "__main__":
    test_main(__doc__, "unreadable-frame", lambda args, work: Flow(args.program, work).run(), footage_tool=False)
