#!/usr/bin/python3
"""Mask edits that change nothing, as a user makes them, driven from
outside the process with synthesised X input on a display of its own:

a segment with a brushed key mask is processed over the whole footage,
saved, closed and opened again (an empty undo history); with Edit Mask on,
a right click beside the picture, a brush stroke over pixels already set,
an erasing stroke where nothing is set and a fill inside the object each
leave the title without its modified mark, the Edit menu with nothing to
undo and the timeline showing the segment's results as they were; then
one stroke that does set pixels is an edit (modified mark, Undo offered,
the results gone back to the key frame), so the test sees what it checks
for.

Usage: mask_commit_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import layout  # noqa: E402
from driver.footage import write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

FRAMES = 12
WIDTH, HEIGHT = 320, 240
# The disc of the footage's first frame (footage_tool): centre and radius.
DISC = (96.0, 104.0, 34)
PROJECT_TITLE = "commit - Tavelo"
PROCESS_TIMEOUT = 120


class MaskCommits:
    def __init__(self, program, tool, work):
        self.work = work
        self.tool = tool
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)
        self.project = os.path.join(work, "commit.tvp")
        self.picture = None
        self.timeline = None

    # Helpers --------------------------------------------------------------

    def screen_point(self, x, y):
        """A point of the footage (image pixels) on the screen, the view at
        100%."""
        return self.picture.left + x, self.picture.top + y

    def find_picture(self):
        def shown():
            image = self.p.screen.screenshot()
            box = layout.picture_box(image, layout.view_image_area(self.p.frame(image)))
            ok = box is not None and abs(box.width - WIDTH) <= 2 and abs(box.height - HEIGHT) <= 2
            return box if ok else None
        self.picture = wait_until(shown, 20, interval=0.5, what="the footage at 100% in the view")

    def timeline_picture(self):
        """The timeline's rows: the segment's bar with its results."""
        image = self.p.screen.screenshot()
        return self.p.frame(image).panel("timeline").crop(image)

    def wait_processing_done(self):
        end = time.monotonic() + PROCESS_TIMEOUT
        time.sleep(1)
        while time.monotonic() < end:
            if not self.p.menu_item_enabled("Segment", "Cancel") and not self.p.menu_item_enabled(
                    "Segment", "Process"):
                return
            time.sleep(1)
        raise DriverError("processing did not end within %ds" % PROCESS_TIMEOUT)

    def stroke(self, points, button):
        """A drag through the footage points `points` with `button` (1
        paints, 3 erases)."""
        self.p.screen.drag([self.screen_point(x, y) for x, y in points], button=button)
        time.sleep(0.5)

    def check_unchanged(self, what):
        time.sleep(0.5)
        image, path = self.p.shot(what.replace(" ", "-"))
        check(self.p.title() == PROJECT_TITLE, "after %s the title reads %r; see %s" % (what, self.p.title(), path))
        now = self.p.frame(image).panel("timeline").crop(image)
        check(np.array_equal(now, self.timeline),
              "after %s the timeline shows the segment's results otherwise; see %s" % (what, path))
        check(not self.p.menu_item_enabled("Edit", "Undo"), "after %s the Edit menu offers Undo" % what)

    # Steps ----------------------------------------------------------------

    def start(self):
        self.footage = write_footage(self.tool, self.work, FRAMES)
        self.p.start()
        self.p.wait_title("Tavelo")

    def processed_project(self):
        """A segment over every frame, its key mask brushed over the disc
        (a ring of radius 14 with the brush of radius 20), processed, saved,
        closed and opened again: nothing to undo."""
        self.p.new_project(self.footage)
        self.find_picture()
        self.p.choose("Segment", "New Segment")
        self.p.choose("Display", "Edit Mask")
        cx, cy = DISC[0], DISC[1]
        ring = [(cx + 14 * np.cos(2 * np.pi * k / 48), cy + 14 * np.sin(2 * np.pi * k / 48)) for k in range(49)]
        self.stroke(ring + [(cx, cy)], 1)
        self.p.choose("Time", "Last Frame")
        self.p.choose("Segment", "Set Front End")
        self.p.choose("Time", "First Frame")
        self.p.choose("Segment", "Process")
        self.wait_processing_done()
        self.p.save_and_reopen(self.project, PROJECT_TITLE)
        self.p.choose("Segment", "Activate below")
        self.p.choose("Display", "Edit Mask")
        self.find_picture()
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        time.sleep(0.5)
        self.p.shot("opened")
        self.timeline = self.timeline_picture()
        check(not self.p.menu_item_enabled("Edit", "Undo"), "the project opened with something to undo")

    def unchanged_commits(self):
        """Commits that leave every pixel of the key mask as it was."""
        # Beside the picture: the brush clears nothing there.
        x, y = self.screen_point(WIDTH + 20, HEIGHT + 20)
        self.p.screen.click(x, y, button=3)
        self.check_unchanged("a right click beside the picture")
        # Inside the disc, which is set all over: the brush of radius 20
        # round its centre.
        cx, cy = DISC[0], DISC[1]
        self.stroke([(cx - 6, cy), (cx + 6, cy), (cx, cy + 6)], 1)
        self.check_unchanged("a stroke over set pixels")
        # The picture's far corner, where nothing is set.
        self.stroke([(WIDTH - 40, HEIGHT - 40), (WIDTH - 25, HEIGHT - 30)], 3)
        self.check_unchanged("erasing where nothing is set")
        tools = self.p.frame().panel("tools")
        self.p.screen.click(tools.left + 12, tools.top + 83)  # the fill tool
        x, y = self.screen_point(cx, cy)
        self.p.screen.click(x, y)
        self.check_unchanged("a fill inside the object")

    def real_edit(self):
        """A stroke of the brush where nothing is set is an edit."""
        tools = self.p.frame().panel("tools")
        self.p.screen.click(tools.left + 12, tools.top + 60)  # the brush tool
        self.stroke([(WIDTH - 40, HEIGHT - 40), (WIDTH - 25, HEIGHT - 30)], 1)
        image, path = self.p.shot("real-edit")
        wait_until(lambda: self.p.title() == "commit * - Tavelo", 5, what="the modified mark after a real stroke")
        check(self.p.menu_item_enabled("Edit", "Undo"), "a real stroke offers nothing to undo")
        now = self.p.frame(image).panel("timeline").crop(image)
        check(not np.array_equal(now, self.timeline),
              "after a real stroke the timeline still shows the results; see %s" % path)

    def quit(self):
        # The real stroke's question to save is answered No.
        self.p.quit()

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("processed project", self.processed_project, needs=["start"])
            s.run("commits that change nothing", self.unchanged_commits, needs=["processed project"])
            s.run("a real stroke is an edit", self.real_edit, needs=["commits that change nothing"])
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "mask_commit", lambda args, work: MaskCommits(args.program, args.footage_tool, work).run())
