#!/usr/bin/python3
"""The menus' shortcuts as a user meets them, driven from outside the
process with synthesised X input on a display of its own:

the File, Edit and Segment menus show each item's shortcut in a column of
its own at the menu's right (the texts end at one x, right of every
label), the Edit menu also once its Undo label has changed after edits;
keys typed into a field of Properties are the field's (Home, Delete,
Ctrl+C, Ctrl+V and Ctrl+Z edit the text and leave the project alone); and
Ctrl+Z and Shift+Ctrl+Z undo and redo one action each.

Usage: menu_shortcuts_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
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

# The items that show a shortcut, per menu.
SHORTCUTS = {
    "File": ["New Project...", "Open...", "Save"],
    "Edit": ["Undo", "Redo", "Cut", "Copy", "Paste", "Clear"],
    "Segment": ["New Segment", "Delete Active", "Set Front End", "Set Back End", "Activate below",
                "Activate above", "Deactivate", "Process", "Cancel"],
}
# Words of one text are closer than this (pixels); a label and its shortcut
# further apart.
WORD_GAP = 10
# "Reference Pitch" on a segment's page as it opens: a field of text.
REFERENCE_PITCH_ROW = 3
UNTITLED = "(Untitled) * - Tavelo"


def text_runs(picture, top, bottom):
    """The runs of columns of a menu row that hold text (greyed text too),
    left to right, in the picture's coordinates."""
    band = np.asarray(picture[top:bottom, 3:-3], dtype=np.int32)
    background = np.median(np.asarray(picture, dtype=np.int32)[:, 3:-3].reshape(-1, 3), axis=0)
    ink = (np.abs(band - background).sum(axis=2) > 60).any(axis=0)
    return [(a + 3, b + 3) for a, b in layout.runs(ink, min_gap=WORD_GAP)]


def glyph_count(image, field):
    """The characters an open edit field shows: its dark marks wider than
    the caret."""
    inner = layout.Rect(field.left + 2, field.top + 2, field.right - 2, field.bottom - 2).crop(image)
    marks = layout.components(layout.luminance(inner) < layout.EDIT_TEXT_LUMINANCE)
    return len([box for box, _ in marks if box[2] - box[0] >= 3])


class MenuShortcuts:
    def __init__(self, program, tool, work):
        self.work = work
        self.tool = tool
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)

    def undo_redo(self):
        """Whether Undo and Redo are enabled now."""
        popup = self.p.open_menu("Edit")
        image = self.p.screen.screenshot()
        picture = image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]
        rows = layout.menu_item_rows(picture, layout.MENUS["Edit"])
        self.p.screen.key("Escape")
        self.p._wait_closed([popup.id])
        return rows["Undo"][2], rows["Redo"][2]

    def focus_properties(self):
        """The keyboard to the property list (no text field): a click on
        the caption of its first row."""
        image = self.p.screen.screenshot()
        area, line = layout.property_list_area(image, self.p.frame(image).panel("properties"))
        check(area is not None, "Properties shows no property list")
        caption, _ = layout.property_row(area, line, 0)
        self.p.screen.click(caption.left + 40, (caption.top + caption.bottom) // 2)
        time.sleep(0.3)
        return area, line

    # Steps ----------------------------------------------------------------

    def start(self):
        self.footage = write_footage(self.tool, self.work, 12)
        self.p.start()
        self.p.wait_title("Tavelo")
        self.p.new_project(self.footage)

    def column(self, title, name):
        """The menu's shortcuts end at one x near its right edge, each right
        of every label of the menu; items without one show their label
        alone."""
        popup = self.p.open_menu(title)
        image, _ = self.p.shot(name)
        self.p.screen.key("Escape")
        self.p._wait_closed([popup.id])
        picture = image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]
        path = self.p.keep(picture, name + "-menu")
        rows = layout.menu_item_rows(picture, layout.MENUS[title])
        # A submenu's arrow sits where a shortcut would.
        submenus = {item[0] for item in layout.MENUS[title] if isinstance(item, tuple)}
        labels, hints = {}, {}
        for item, (top, bottom, _) in rows.items():
            if item in submenus:
                continue
            runs = text_runs(picture, top, bottom)
            check(runs, "the %s menu's item %s shows no text; see %s" % (title, item, path))
            if item in SHORTCUTS[title]:
                check(len(runs) >= 2, "the %s menu's item %s shows no shortcut apart from its label; see %s"
                      % (title, item, path))
                hints[item] = runs[-1]
                labels[item] = runs[-2][1]
            else:
                labels[item] = runs[-1][1]
        ends = sorted({end for _, end in hints.values()})
        check(ends[-1] - ends[0] <= 1, "the %s menu's shortcuts end at x = %s, not in one column: %s; see %s"
              % (title, ends, {k: v[1] for k, v in hints.items()}, path))
        check(popup.width - ends[-1] <= 40, "the %s menu's shortcuts end %d pixels left of its right edge; see %s"
              % (title, popup.width - ends[-1], path))
        column = min(start for start, _ in hints.values())
        widest = max(labels.values())
        check(column - widest >= WORD_GAP, "the %s menu's shortcut column starts at x = %d, at a label's end (%d); "
              "see %s" % (title, column, widest, path))
        return rows

    def file_menu(self):
        self.column("File", "file")

    def edits(self):
        """Two undoable actions; the Edit menu's Undo label changes."""
        for _ in range(2):
            self.p.choose("Segment", "New Segment")
        time.sleep(0.5)
        undo, redo = self.undo_redo()
        check(undo and not redo, "after two new segments Undo is %s and Redo %s" % (
            "enabled" if undo else "disabled", "enabled" if redo else "disabled"))

    def edit_menu(self):
        self.column("Edit", "edit")
        # Opened again, after the label was set.
        self.column("Edit", "edit-again")

    def segment_menu(self):
        self.column("Segment", "segment")

    def field_keys(self):
        """Keys typed into an open field of Properties edit its text: the
        accelerators of the same keys (First Frame, Clear, Copy, Paste,
        Undo) are left alone."""
        area, line = self.focus_properties()
        _, cell = layout.property_row(area, line, REFERENCE_PITCH_ROW)
        self.p.screen.click(cell.left + 11, (cell.top + cell.bottom) // 2)
        try:
            wait_until(lambda: layout.edit_field(self.p.screen.screenshot(), cell), 5, interval=0.2,
                       what="the edit field of Reference Pitch")
        except DriverError:
            _, path = self.p.shot("no-field")
            raise DriverError("a click on the value of Reference Pitch opens no edit field; see %s" % path)

        def shows(count, after):
            def counted():
                image = self.p.screen.screenshot()
                field = layout.edit_field(image, cell)
                return field is not None and glyph_count(image, field) == count
            try:
                wait_until(counted, 5, interval=0.2, what="%d characters in the field" % count)
            except DriverError:
                image, path = self.p.shot("field-after-" + after.replace(" ", "-").lower())
                field = layout.edit_field(image, cell)
                raise DriverError("after %s the field %s, not %d characters; see %s" % (
                    after, "is closed" if field is None else "shows %d characters" % glyph_count(image, field),
                    count, path))
            self.p.shot("field-after-" + after.replace(" ", "-").lower())

        self.p.screen.key("ctrl+a")
        self.p.screen.type("57")
        shows(2, "typing 57")
        self.p.screen.key("Home")
        self.p.screen.key("Delete")
        shows(1, "Home and Delete")
        self.p.screen.key("ctrl+a")
        self.p.screen.key("ctrl+c")
        self.p.screen.key("End")
        self.p.screen.key("ctrl+v")
        self.p.screen.key("ctrl+v")
        shows(3, "Ctrl+C and Ctrl+V twice")
        self.p.screen.key("ctrl+z")
        time.sleep(0.5)
        image, path = self.p.shot("field-after-ctrl-z")
        check(layout.edit_field(image, cell) is not None, "Ctrl+Z in the field closed it; see %s" % path)
        self.p.screen.key("Escape")
        wait_until(lambda: layout.edit_field(self.p.screen.screenshot(), cell) is None, 5, interval=0.2,
                   what="the field to close")
        check(self.p.title() == UNTITLED, "after the keys in the field the title reads %r" % self.p.title())
        undo, redo = self.undo_redo()
        check(undo and not redo, "after keys typed into the field Redo is %s: the project's history changed"
              % ("enabled" if redo else "disabled"))

    def undo_once(self):
        """Each press undoes or redoes exactly one of the two actions."""
        self.focus_properties()
        expected = [("ctrl+z", (True, True)), ("ctrl+z", (False, True)), ("shift+ctrl+z", (True, True)),
                     ("shift+ctrl+z", (True, False))]
        for n, (key, (undo, redo)) in enumerate(expected):
            self.p.screen.key(key)
            time.sleep(0.5)
            shown = self.undo_redo()
            _, path = self.p.shot("after-%d-%s" % (n + 1, key.replace("+", "-")))
            check(shown == (undo, redo), "after press %d (%s) Undo is %s and Redo %s, not %s and %s; see %s" % (
                n + 1, key, *["enabled" if e else "disabled" for e in shown + (undo, redo)], path))
            # The menu took the keyboard; it goes back to the list.
            self.focus_properties()

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("File menu shortcuts in a column", self.file_menu, needs=["start"])
            s.run("two edits", self.edits, needs=["start"])
            s.run("Edit menu shortcuts in a column after edits", self.edit_menu, needs=["two edits"])
            s.run("Segment menu shortcuts in a column", self.segment_menu, needs=["two edits"])
            s.run("keys typed into a field are the field's", self.field_keys, needs=["two edits"])
            s.run("Ctrl+Z and Shift+Ctrl+Z act once", self.undo_once, needs=["two edits"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "menus", lambda args, work: MenuShortcuts(args.program, args.footage_tool, work).run())
