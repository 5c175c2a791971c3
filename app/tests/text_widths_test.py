#!/usr/bin/python3
"""Texts shown whole where their room is measured from them, driven from
outside the process with synthesised X input on a display of its own:

the "Tools" panel's title at the default window size; the Edit menu
opened with nothing to undo, then after an edit, showing the new Undo
label with its key hint whole (as wide as when it is opened again); the
frame rate typed into the time controls' field, "2.5" and then "29.97",
each shown whole rather than in the width of the rate before it.

Usage: text_widths_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.footage import write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

# Rates typed into the field, one after the other: the second is wider
# than the first, which is wider than the rate the program starts with.
RATES = ["2.5", "29.97"]


def glyphs(mask):
    """The glyphs of one line of text (a boolean picture of its ink), left
    to right, as bounding boxes (left, top, right, bottom)."""
    return sorted((box for box, _ in layout.components(mask)), key=lambda b: b[0])


def ends_in_ellipsis(boxes):
    """Whether a line of glyphs ends in the three dots of a text cut
    short: three small marks on one line, evenly spaced."""
    if len(boxes) < 3:
        return False
    last = boxes[-3:]
    small = all(b[2] - b[0] <= 3 and b[3] - b[1] <= 3 for b in last)
    one_line = len({b[3] for b in last}) == 1
    gaps = [last[1][0] - last[0][0], last[2][0] - last[1][0]]
    return small and one_line and abs(gaps[0] - gaps[1]) <= 1


class Widths:
    def __init__(self, program, tool, work):
        self.work = work
        self.tool = tool
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.close_dialogs)
        self.undo_before = None

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def tools_title(self):
        """The tool strip is as wide as the title "Tools" over it."""
        self.p.frame()
        image, path = self.p.shot("start")
        frame = self.p.frame(image)
        check("tools" in frame.headers, "the main window shows no Tools panel; see %s" % path)
        header = frame.headers["tools"]
        picture = header.crop(image)
        path = self.p.keep(picture, "tools-title")
        boxes = glyphs(layout.luminance(picture) > 200)
        check(not ends_in_ellipsis(boxes), "the Tools panel's title is cut short; see %s" % path)
        check(len(boxes) == len("Tools"), "the Tools panel's title shows %d glyphs, not the 5 of \"Tools\"; "
              "see %s" % (len(boxes), path))

    def new_project(self):
        avi = write_footage(self.tool, self.work, 12)
        self.p.new_project(avi)

    def open_edit_menu(self, name):
        """The Edit menu opened: (popup, its picture, the Undo entry, the
        columns the Undo row's text takes in the picture)."""
        popup = self.p.open_menu("Edit")
        image, _ = self.p.shot(name)
        picture = image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]
        entry = layout.locate_menu_item(image, popup, layout.MENUS["Edit"], "Undo")
        row = layout.menu_rows(picture)[0][0]
        ink = np.flatnonzero((layout.luminance(picture[row[0]:row[1], 3:-3]) < 200).any(axis=0))
        self.p.screen.key("Escape")
        self.p._wait_closed([popup.id])
        return popup, picture, entry, (int(ink[0]) + 3, int(ink[-1]) + 4)

    def edit_menu_before(self):
        popup, picture, entry, ink = self.open_edit_menu("edit-nothing-to-undo")
        check(not entry.enabled, "Undo is enabled before any edit")
        self.undo_before = ink

    def edit_menu_after(self):
        """After an edit the Edit menu opens as wide as its new labels:
        the Undo row shows a longer label than before, ends well inside
        the menu, and the menu is the same as when opened again."""
        self.p.choose("Segment", "New Segment")
        time.sleep(0.5)
        popup, picture, entry, ink = self.open_edit_menu("edit-after-new-segment")
        first = self.p.keep(picture, "edit-menu-first")
        again_popup, again, _, again_ink = self.open_edit_menu("edit-opened-again")
        second = self.p.keep(again, "edit-menu-again")
        check(entry.enabled, "Undo is not enabled after an edit")
        check(ink[1] - ink[0] > self.undo_before[1] - self.undo_before[0] + 20,
              "the Undo row shows no longer label after the edit (its text spans %s, before %s); see %s"
              % (ink, self.undo_before, first))
        check(popup.width - ink[1] >= 8, "the Undo row's text reaches the menu's edge (%d of %d pixels); see %s"
              % (ink[1], popup.width, first))
        check((popup.width, popup.height) == (again_popup.width, again_popup.height),
              "the Edit menu opened first after the edit is %dx%d, opened again %dx%d; see %s and %s"
              % (popup.width, popup.height, again_popup.width, again_popup.height, first, second))
        share, ok, _ = images.compare_with_reference(picture, again, 24, 0.002)
        check(ok, "%.1f%% of the Edit menu differ between its first opening after the edit and the next; "
              "see %s and %s" % (100 * share, first, second))
        check(ink == again_ink, "the Undo row's text spans %s, opened again %s" % (ink, again_ink))

    def rate_line(self, image, panel):
        """The last line of editable (dark blue) text in the time controls,
        the rate field's, without its dotted underline: (picture, mask,
        top, bottom) in the panel's coordinates."""
        region = np.asarray(panel.crop(image), dtype=np.int32)
        mask = ((region[..., 2] - region[..., 0] > 50) & (region[..., 2] - region[..., 1] > 50))
        # Underlines are one row high; a text (an ellipsis alone too) more.
        lines = [r for r in layout.runs(mask.any(axis=1), min_gap=2) if r[1] - r[0] >= 2]
        check(lines, "the time controls show no editable text")
        top, bottom = lines[-1]
        return region[top:bottom], mask[top:bottom], top, bottom

    def framerate(self):
        """Each rate typed is shown whole: as many glyphs as characters,
        no ellipsis."""
        panel = self.p.frame().panel("time_controls")
        for rate in RATES:
            image = self.p.screen.screenshot()
            _, mask, top, bottom = self.rate_line(image, panel)
            columns = np.flatnonzero(mask.any(axis=0))
            x = panel.left + (int(columns[0]) + int(columns[-1])) // 2
            y = panel.top + (top + bottom) // 2
            self.p.screen.click(x, y)
            time.sleep(0.5)
            self.p.screen.key("ctrl+a")
            self.p.screen.type(rate)
            self.p.screen.key("Return")

            def shown():
                picture, line, _, _ = self.rate_line(self.p.screen.screenshot(), panel)
                boxes = glyphs(line)
                return (picture, boxes) if len(boxes) == len(rate) and not ends_in_ellipsis(boxes) else None
            try:
                picture, _ = wait_until(shown, 5, interval=0.3, what="the rate %s shown whole" % rate)
            except DriverError:
                image, path = self.p.shot("rate-%s-cut" % rate)
                picture, line, _, _ = self.rate_line(image, panel)
                boxes = glyphs(line)
                raise DriverError("the rate field shows %d glyph(s)%s after %s was typed, not the whole text; "
                                  "see %s" % (len(boxes), " ending in an ellipsis" if ends_in_ellipsis(boxes)
                                              else "", rate, path))
            image, _ = self.p.shot("rate-%s" % rate)
            self.p.keep(panel.crop(image), "time-controls-%s" % rate)

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("the Tools title is whole", self.tools_title, needs=["start"])
            s.run("new project", self.new_project, needs=["start"])
            s.run("Edit menu with nothing to undo", self.edit_menu_before, needs=["new project"])
            s.run("Edit menu after an edit shows its labels whole", self.edit_menu_after,
                  needs=["Edit menu with nothing to undo"])
            s.run("typed rates show whole", self.framerate, needs=["new project"])

        return run_steps(s, self.p, steps, end_shot=False)


if __name__ == "__main__":
    test_main(__doc__, "widths", lambda args, work: Widths(args.program, args.footage_tool, work).run())
