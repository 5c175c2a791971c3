#!/usr/bin/python3
"""File's recent list as a user meets it, driven from outside the process
with synthesised X input on a display of its own:

two projects saved through File > Save and the window system's file
chooser, "Tom Jerry's cut.tvp" and then "Tom & Jerry's cut.tvp"; the File
menu lists them newest first, and the first entry shows its name as it is:
the words of the second entry with one glyph, the "&", between "Tom" and
"Jerry's", a space's width on each side of it (a name whose "&" the menu
takes for a mnemonic mark shows the two words a double space apart). The
entry, clicked, opens that project; chosen by its number (Alt+F, 1), too.

Usage: recent_files_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import layout  # noqa: E402
from driver.footage import write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402

PLAIN = "Tom Jerry's cut"
AMPERSAND = "Tom & Jerry's cut"
# The File menu's groups of items between separators, and the recent
# list's among them.
FILE_GROUPS = layout.MENUS["File"].count("-") + 1
RECENT_GROUP = layout.MENUS["File"][:layout.MENUS["File"].index("*")].count("-")
# Letters of a word are closer than this (pixels); words a space apart
# further.
LETTER_GAP = 3
# Widths and gaps of the same text drawn twice differ by less than this.
SLACK = 2


def words(picture, top, bottom):
    """The words of a menu row, left to right: (left, right) of each run of
    text columns in the picture's coordinates."""
    band = np.asarray(picture[top:bottom, 3:-3], dtype=np.int32)
    background = np.median(np.asarray(picture, dtype=np.int32)[:, 3:-3].reshape(-1, 3), axis=0)
    ink = (np.abs(band - background).sum(axis=2) > 60).any(axis=0)
    return [(a + 3, b + 3) for a, b in layout.runs(ink, min_gap=LETTER_GAP)]


def glyphs(picture, top, bottom, word):
    """The boxes (left, top, right, bottom) of the connected marks of a word."""
    region = np.asarray(picture[top:bottom, word[0]:word[1]], dtype=np.int32)
    background = np.median(np.asarray(picture, dtype=np.int32)[:, 3:-3].reshape(-1, 3), axis=0)
    marks = layout.components(np.abs(region - background).sum(axis=2) > 60)
    return [box for box, count in marks if count >= 3]


class Flow:
    def __init__(self, program, tool, work):
        self.footage = write_footage(tool, work, 6, "clip.avi")
        self.projects = os.path.join(work, "projects")
        os.makedirs(self.projects, exist_ok=True)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)

    def save_new(self, name):
        """A new project saved as `name`.tvp through the file chooser, then
        closed."""
        self.p.new_project(self.footage)
        self.p.choose("File", "Save")
        self.p.answer_file_chooser("Save Project As", os.path.join(self.projects, name + ".tvp"))
        self.p.wait_title(name + " - Tavelo")
        self.p.choose("File", "Close Project")
        self.p.wait_title("Tavelo")

    def recent_rows(self, name):
        """The open File menu's recent entries as shown: the popup, the
        picture of the menu and the rows (top, bottom, enabled)."""
        popup = self.p.open_menu("File")
        image, _ = self.p.shot(name)
        picture = image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]
        path = self.p.keep(picture, name + "-menu")
        groups = layout.menu_rows(picture)
        check(len(groups) == FILE_GROUPS, "the File menu shows %d groups of items, not %d; see %s"
              % (len(groups), FILE_GROUPS, path))
        return popup, picture, groups[RECENT_GROUP], path

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def save_projects(self):
        self.save_new(PLAIN)
        self.save_new(AMPERSAND)

    def shown_as_it_is(self):
        popup, picture, rows, path = self.recent_rows("recent-list")
        self.p.screen.key("Escape")
        self.p._wait_closed([popup.id])
        check(len(rows) == 2, "the recent list shows %d entries, not 2; see %s" % (len(rows), path))
        (top, bottom, enabled), (ref_top, ref_bottom, _) = rows
        check(enabled, "the recent entry of %r is disabled; see %s" % (AMPERSAND, path))
        shown = words(picture, top, bottom)
        reference = words(picture, ref_top, ref_bottom)
        # "2", "Tom", "Jerry's", "cut.tvp" (however the font spaces the
        # letters of a word, it spaces them alike in both rows).
        check(len(reference) >= 4, "the entry of %r shows %d words; see %s" % (PLAIN, len(reference), path))
        apart = ["%d pixels" % (b[0] - a[1]) for a, b in zip(shown, shown[1:])]
        check(len(shown) == len(reference) + 1,
              "the entry of %r shows %d words, the one of %r %d: the \"&\" is not shown between \"Tom\" and "
              "\"Jerry's\" (the words stand %s apart, a space is %d); see %s"
              % (AMPERSAND, len(shown), PLAIN, len(reference), ", ".join(apart),
                 reference[2][0] - reference[1][1], path))
        widths = [r - l for l, r in shown]
        ref_widths = [r - l for l, r in reference]
        same = [widths[0], widths[1]] + widths[3:]
        check(all(abs(a - b) < SLACK for a, b in zip(same, ref_widths)),
              "the words of %r other than \"&\" are %s pixels wide, those of %r %s; see %s"
              % (AMPERSAND, same, PLAIN, ref_widths, path))
        space = reference[2][0] - reference[1][1]
        gaps = [shown[2][0] - shown[1][1], shown[3][0] - shown[2][1]]
        check(all(abs(g - space) < SLACK + 1 for g in gaps),
              "the \"&\" of %r stands %s pixels from its neighbours, a space is %d; see %s"
              % (AMPERSAND, gaps, space, path))
        amp = glyphs(picture, top, bottom, shown[2])
        capital = min(glyphs(picture, top, bottom, shown[1]))
        check(len(amp) == 1, "%d marks stand between \"Tom\" and \"Jerry's\", not one \"&\"; see %s"
              % (len(amp), path))
        height, cap = amp[0][3] - amp[0][1], capital[3] - capital[1]
        check(abs(height - cap) < SLACK + 1, "the mark between \"Tom\" and \"Jerry's\" is %d pixels high, the "
              "\"T\" %d: no \"&\"; see %s" % (height, cap, path))

    def opened_by_click(self):
        popup, _, rows, path = self.recent_rows("before-click")
        check(rows, "the recent list shows no entry; see %s" % path)
        top, bottom, _ = rows[0]
        self.p.screen.click(popup.x + popup.width // 2, popup.y + (top + bottom) // 2, focus=False)
        self.p._wait_closed([popup.id])
        self.p.wait_title(AMPERSAND + " - Tavelo")
        self.p.shot("opened-by-click")

    def opened_by_number(self):
        self.p.choose("File", "Close Project")
        self.p.wait_title("Tavelo")
        popup = self.p.open_menu("File", by="mnemonic")
        self.p.shot("before-number")
        self.p.screen.key("1")
        self.p._wait_closed([popup.id])
        self.p.wait_title(AMPERSAND + " - Tavelo")
        self.p.shot("opened-by-number")

    def quit(self):
        self.p.quit()

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("two projects saved", self.save_projects, needs=["start"])
            s.run("the recent entry shows the name's \"&\"", self.shown_as_it_is, needs=["two projects saved"])
            s.run("the entry clicked opens its project", self.opened_by_click, needs=["two projects saved"])
            s.run("the entry's number opens its project", self.opened_by_number,
                  needs=["the entry clicked opens its project"])
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "recent-files", lambda args, work: Flow(args.program, args.footage_tool, work).run())
