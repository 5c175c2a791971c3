#!/usr/bin/python3
"""Editing values in Properties as a user does, driven from outside the
process with synthesised X input on a display of its own:

a project with one segment is saved, closed and opened again (an empty
undo history); a click into the "Reference Pitch" field and then beside
it, and the "Downsample" entry already shown chosen again, leave the
project unmodified and offer nothing to undo; "Tracking Bounds > Last" is
edited (a new value with Return, the shown value with Return, Escape),
and after each the frame's shortcuts act at once: Ctrl+G opens "Go to
Frame", Home goes to the first frame, Ctrl+Z undoes the edit; the field of
"Dilate / Erode" shows its whole "0" and a typed "5", and Ctrl+Z undoes
the 5; Ctrl+G works after an edit in "Time Controls" too; with every
edit undone the title shows no modified mark and the close button ends
the program without a question.

Usage: property_edit_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import re
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.footage import write_footage  # noqa: E402
from driver.layout import Rect  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

FRAMES = 12
# Rows of a segment's page as it opens (the list shows four): "Display
# Mask", "Tracking Bounds" (collapsed), "Parameters" (expanded) with
# "Reference Pitch", "Downsample", "Optic Flow", "MinCut", "Refine",
# "Pyramid Refine", "Dilate / Erode", ...
TRACKING_BOUNDS_ROW = 1
REFERENCE_PITCH_ROW = 3
DOWNSAMPLE_ROW = 4
DILATE_ROW = 9
# More than the page has rows.
ALL_ROWS = 14
# Once "Tracking Bounds" is expanded: "First", then "Last".
LAST_ROW = 3
PROJECT_TITLE = "project - Tavelo"


def slug(text):
    """A screenshot's name for a text."""
    return re.sub(r"[^a-z0-9]+", "-", text.lower()).strip("-")


class PropertyEdits:
    def __init__(self, program, tool, work):
        self.work = work
        self.tool = tool
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)
        self.project = os.path.join(work, "project.tvp")
        self.first_frame = None
        self.picture = None

    # Helpers --------------------------------------------------------------

    def properties(self, image=None):
        """The property list's area and caption line on a screenshot."""
        image = self.p.screen.screenshot() if image is None else image
        frame = self.p.frame(image)
        area, line = layout.property_list_area(image, frame.panel("properties"))
        if area is None:
            _, path = self.p.shot("no-property-list")
            raise DriverError("Properties shows no property list; see %s" % path)
        return area, line

    def value_cell(self, row):
        """The value of a row of the list scrolled to its top."""
        area, line = self.properties()
        return layout.property_row(area, line, row)[1]

    def select_by_keys(self, row):
        """Selects row `row` of the list counted from its first, by a click
        on a caption and the keys Up and Down, as far as the list scrolls
        to show it; answers the row's value."""
        area, line = self.properties()
        caption, _ = layout.property_row(area, line, 1)
        self.p.screen.click(caption.left + 40, (caption.top + caption.bottom) // 2)
        for key in ["Up"] * ALL_ROWS + ["Down"] * row:
            self.p.screen.key(key)
            time.sleep(0.1)
        time.sleep(0.3)
        selected = layout.selected_property_row(self.p.screen.screenshot(), area, line)
        if selected is None:
            _, path = self.p.shot("no-selected-row")
            raise DriverError("no row of Properties is selected after a click, Up and Down; see %s" % path)
        return selected[1]

    def cell_picture(self, cell):
        """The text part of a value (the list's scroll bar comes and goes at
        its right end)."""
        return Rect(cell.left, cell.top, cell.left + 40, cell.bottom).crop(self.p.screen.screenshot())

    def view_picture(self):
        """What the view shows of the footage."""
        image = self.p.screen.screenshot()
        if self.picture is None:
            area = layout.view_image_area(self.p.frame(image))
            self.picture = layout.picture_box(image, area)
            check(self.picture is not None, "the view shows no footage")
        return self.picture.crop(image)

    def open_field(self, cell, name):
        """Clicks a value (on its text); answers the edit field that opens."""
        self.p.screen.click(cell.left + 11, (cell.top + cell.bottom) // 2)

        def opened():
            return layout.edit_field(self.p.screen.screenshot(), cell)
        try:
            return wait_until(opened, 5, interval=0.2, what="the edit field of %s" % name)
        except DriverError:
            _, path = self.p.shot("no-field-" + slug(name))
            raise DriverError("a click on the value of %s opens no edit field; see %s" % (name, path))

    def wait_field_closed(self, cell, name):
        wait_until(lambda: layout.edit_field(self.p.screen.screenshot(), cell) is None, 5, interval=0.2,
                   what="the edit field of %s to close" % name)

    def go_to_frame_works(self, after, frame=None):
        """Ctrl+G opens "Go to Frame"; answered with `frame` (Return) or
        closed with Escape."""
        before = {w.id for w in self.p.dialogs()}
        self.p.screen.key("ctrl+g")
        try:
            dialog = wait_until(lambda: [w for w in self.p.dialogs() if w.id not in before], 5,
                                what="the Go to Frame dialog")[0]
        except DriverError:
            _, path = self.p.shot("no-go-to-frame-after-" + slug(after))
            raise DriverError("Ctrl+G opens nothing after %s; see %s" % (after, path))
        check(dialog.title == "Go to Frame", "Ctrl+G opens %r" % dialog.title)
        time.sleep(0.3)
        self.p.screen.focus(dialog)
        if frame is None:
            self.p.screen.key("Escape")
        else:
            self.p.screen.key("ctrl+a")
            self.p.screen.type(str(frame))
            self.p.screen.key("Return")
        wait_until(lambda: dialog.id not in [w.id for w in self.p.dialogs()], 10, what="the dialog to close")

    def view_shows_first_frame(self):
        # Frame 5 differs from it by about 4.5 on average.
        return images.mean_difference(self.view_picture(), self.first_frame) < 1

    def undo_restores(self, cell, picture, after):
        """Ctrl+Z brings the value cell back to `picture`."""
        self.p.screen.key("ctrl+z")
        try:
            wait_until(lambda: np.array_equal(self.cell_picture(cell), picture), 5, interval=0.2,
                       what="the value before the edit")
        except DriverError:
            _, path = self.p.shot("not-undone-after-" + slug(after))
            raise DriverError("Ctrl+Z does not undo the edit after %s; see %s" % (after, path))

    def check_unmodified(self, what):
        time.sleep(0.5)
        check(self.p.title() == PROJECT_TITLE, "after %s the title reads %r" % (what, self.p.title()))
        check(not self.p.menu_item_enabled("Edit", "Undo"), "after %s the Edit menu offers Undo" % what)

    # Steps ----------------------------------------------------------------

    def start(self):
        self.footage = write_footage(self.tool, self.work, FRAMES)
        self.p.start()
        self.p.wait_title("Tavelo")

    def project_with_segment(self):
        """A project of the footage with one segment, saved, closed and
        opened again: nothing to undo."""
        self.p.new_project(self.footage)
        self.p.choose("Segment", "New Segment")
        self.p.save_and_reopen(self.project, PROJECT_TITLE)
        self.p.choose("Segment", "Activate below")
        time.sleep(0.5)
        self.properties()
        self.first_frame = self.view_picture()
        self.p.shot("segment")
        check(not self.p.menu_item_enabled("Edit", "Undo"), "the project opened with something to undo")

    def unchanged_commits(self):
        """A field clicked into and left, and the entry already shown
        chosen again, change nothing."""
        cell = self.value_cell(REFERENCE_PITCH_ROW)
        field = self.open_field(cell, "Reference Pitch")
        self.p.shot("reference-pitch-open")
        # Beside the field: the caption of the same row.
        self.p.screen.click(cell.left - 60, field.top + field.height // 2)
        self.wait_field_closed(cell, "Reference Pitch")
        self.p.shot("reference-pitch-left")
        self.check_unmodified("a click into Reference Pitch and beside it")

        cell = self.select_by_keys(DOWNSAMPLE_ROW)
        shown = self.cell_picture(cell)
        # The button at the right end opens the list (a click on the text
        # would choose the next entry); its left part, clear of the list's
        # scroll bar.
        self.p.choose_in_list(cell.right - 13, (cell.top + cell.bottom) // 2, 0)
        time.sleep(0.3)
        check(np.array_equal(self.cell_picture(cell), shown),
              "choosing the first Downsample entry changed what the row shows (not the entry shown)")
        self.check_unmodified("choosing the Downsample entry already shown")

    def dilate_field(self):
        """The field of "Dilate / Erode" shows its value and what is typed
        whole; Return, then Ctrl+Z undoes it."""
        cell = self.select_by_keys(DILATE_ROW)
        before = self.cell_picture(cell)
        self.open_field(cell, "Dilate / Erode")
        for typed, name in ((None, "zero"), ("5", "five")):
            if typed is not None:
                self.p.screen.key("ctrl+a")
                self.p.screen.type(typed)
            time.sleep(0.3)
            image, path = self.p.shot("dilate-%s" % name)
            field = layout.edit_field(image, cell)
            check(field is not None, "the field of Dilate / Erode is not open; see %s" % path)
            check(field.width >= 40, "the field of Dilate / Erode is %d pixels wide; see %s" % (field.width, path))
            # A digit is five pixels wide or more, the caret beside it one.
            columns = layout.ink_columns(image, field)
            check(columns >= 6, "the field of Dilate / Erode shows no whole digit (ink in %d columns); see %s"
                  % (columns, path))
        self.p.screen.key("Return")
        self.wait_field_closed(cell, "Dilate / Erode")
        check(not np.array_equal(self.cell_picture(cell), before), "Dilate / Erode shows the same after typing 5")
        self.undo_restores(cell, before, "Dilate / Erode")
        # Back to the top of the list, by the keyboard the list has again.
        for _ in range(DILATE_ROW):
            self.p.screen.key("Up")
            time.sleep(0.1)
        time.sleep(0.3)
        area, line = self.properties()
        caption, _ = layout.property_row(area, line, 0)
        selected = layout.selected_property_row(self.p.screen.screenshot(), area, line)
        check(selected is not None and selected[0].top == caption.top,
              "Up does not bring the list back to its first row")

    def shortcuts_after_edits(self):
        # The list at its top.
        self.select_by_keys(0)
        area, line = self.properties()
        caption, _ = layout.property_row(area, line, TRACKING_BOUNDS_ROW)
        self.p.screen.click(caption.left + 7, (caption.top + caption.bottom) // 2)
        time.sleep(0.5)
        cell = self.value_cell(LAST_ROW)
        before = self.cell_picture(cell)

        # A new value, Return.
        self.open_field(cell, "Last")
        self.p.screen.key("ctrl+a")
        self.p.screen.type("100")
        self.p.screen.key("Return")
        self.wait_field_closed(cell, "Last")
        self.p.shot("last-changed")
        check(not np.array_equal(self.cell_picture(cell), before), "Last shows the same after typing 100")
        self.go_to_frame_works("a new value with Return", frame=5)
        wait_until(lambda: images.mean_difference(self.view_picture(), self.first_frame) > 2, 5, interval=0.3,
                   what="the view to show frame 5")

        # The value shown, Return.
        self.open_field(cell, "Last")
        self.p.screen.key("Return")
        self.wait_field_closed(cell, "Last")
        self.go_to_frame_works("Return without a change")
        self.p.screen.key("Home")
        try:
            wait_until(self.view_shows_first_frame, 5, interval=0.3, what="the first frame")
        except DriverError:
            _, path = self.p.shot("home-ignored")
            raise DriverError("Home does not go to the first frame after Return without a change; see %s" % path)

        # Escape.
        self.open_field(cell, "Last")
        self.p.screen.key("ctrl+a")
        self.p.screen.type("7")
        self.p.screen.key("Escape")
        self.wait_field_closed(cell, "Last")
        self.go_to_frame_works("Escape")
        self.undo_restores(cell, before, "Escape")
        self.p.shot("last-undone")

    def time_controls_field(self):
        """The same after an edit in a field that sits in a panel of its
        own: the first editable text of "Time Controls"."""
        image = self.p.screen.screenshot()
        texts = layout.editable_texts(image, self.p.frame(image).panel("time_controls"))
        check(texts, "Time Controls shows no editable text")
        x, y = texts[0].centre()
        self.p.screen.click(x, y)
        time.sleep(0.5)
        self.p.screen.key("ctrl+a")
        self.p.screen.type("3")
        self.p.screen.key("Return")
        time.sleep(0.5)
        self.p.shot("time-controls-edited")
        self.go_to_frame_works("an edit in Time Controls")

    def quit(self):
        """Every edit undone: no modified mark, and closing asks nothing."""
        check(self.p.title() == PROJECT_TITLE, "with every edit undone the title reads %r" % self.p.title())

        def question():
            _, path = self.p.shot("closing-question")
            raise DriverError("closing the unchanged project asks a question; see %s" % path)
        self.p.quit(on_question=question)

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("project with a segment", self.project_with_segment, needs=["start"])
            s.run("unchanged commits change nothing", self.unchanged_commits, needs=["project with a segment"])
            s.run("the field shows short values", self.dilate_field, needs=["project with a segment"])
            s.run("shortcuts right after edits", self.shortcuts_after_edits, needs=["project with a segment"])
            s.run("shortcuts after an edit in Time Controls", self.time_controls_field,
                  needs=["project with a segment"])
            s.run("closing asks nothing", self.quit,
                  needs=["unchanged commits change nothing", "shortcuts right after edits",
                         "the field shows short values"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "properties", lambda args, work: PropertyEdits(args.program, args.footage_tool, work).run())
