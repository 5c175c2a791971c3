#!/usr/bin/python3
"""The video view and its tools as a user meets them, driven from outside
the process with synthesised X input on a display of its own:

with no project open the zoom controls look disabled and a click on them
does nothing; the tool buttons name their keys in their tooltips ("Hand
(H)", "Zoom (Z)"); on a new project a quick brush ring of a few long
pointer moves with a small brush is closed, so that a fill inside it stays
inside (the exported key mask); the colour box below the view, through the
window system's colour chooser, sets the background and the matte colour,
and a matte colour chosen in the Display panel shows in the box at once;
Pause while a segment is processed stays paused while the processing goes
on; the chosen colour is still there after the project is closed and
another one opened.

Usage: view_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
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

# Enough frames for a few seconds of processing.
FRAMES = 150
WIDTH, HEIGHT = 320, 240
# The disc of the footage's first frame (footage_tool): centre and radius.
DISC = (96.0, 104.0, 34)
# The ring drawn round it: radius, corners, brush radius (image pixels).
RING, CORNERS, BRUSH = 46, 6, 4
GREEN, RED = (0, 200, 0), (200, 0, 0)


def luminance(picture):
    return np.asarray(picture, dtype=np.float64) @ np.array([0.299, 0.587, 0.114])


def glyphs(tip):
    """The glyphs of a tooltip's light text on its dark ground, left to
    right: (left, right, top, bottom) of each run of inked columns."""
    ink = luminance(tip) > 100
    cols = ink.any(axis=0)
    found, start = [], None
    for x, inked in enumerate(list(cols) + [False]):
        if inked and start is None:
            start = x
        elif not inked and start is not None:
            rows = np.flatnonzero(ink[:, start:x].any(axis=1))
            found.append((start, x, int(rows[0]), int(rows[-1]) + 1))
            start = None
    return found


class ViewFlow:
    def __init__(self, program, tool, work):
        self.work = work
        self.avi = write_footage(tool, work, FRAMES)
        self.out = os.path.join(work, "out")
        os.makedirs(self.out, exist_ok=True)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.close_dialogs)
        self.picture = None

    # Helpers --------------------------------------------------------------

    def zoom_rows(self, image):
        """The zoom controls: the strip below the view, the row at the
        bottom of the Display panel and the timeline's time scale controls
        at its bottom left (with the empty name column beside them)."""
        frame = self.p.frame(image)
        strip = layout.background_colour_box(frame)[1]
        left = frame.view.left - 1
        display = frame.panel("display")
        timeline = frame.panel("timeline")
        return frame, [image[strip - 8:strip + 8, left:left + 175],
                       image[display.bottom - 18:display.bottom - 2, display.left:display.right],
                       image[timeline.bottom - 32:timeline.bottom - 16, timeline.left:timeline.left + 260]]

    def new_project(self):
        self.p.new_project(self.avi)

        def shown():
            image = self.p.screen.screenshot()
            box = layout.picture_box(image, layout.view_image_area(self.p.frame(image)))
            ok = box is not None and abs(box.width - WIDTH) <= 2 and abs(box.height - HEIGHT) <= 2
            return box if ok else None
        self.picture = wait_until(shown, 20, interval=0.5, what="the footage at 100% in the view")

    def view_colour(self):
        """The colour of the view round the picture."""
        image = self.p.screen.screenshot()
        area = layout.view_image_area(self.p.frame(image))
        return tuple(int(v) for v in image[area.top + 10, area.left + 10])

    def choose_colour(self, x, y, hexa, what):
        """Clicks (x, y), which opens the colour chooser, moves the chooser
        down over the timeline (so that its closing repaints nothing of the
        view, its strip or the panels), types `hexa` as its colour name and
        selects it."""
        top = self.p.frame().headers["timeline"].bottom + 10
        self.p.screen.click(x, y)
        dialog = self.p.wait_dialog(15, "the colour chooser after a click on %s" % what)
        time.sleep(0.5)
        window = self.p.screen.d.create_resource_object("window", dialog.id)
        window.configure(x=40, y=top)
        self.p.screen.d.sync()
        dialog = wait_until(lambda: [w for w in self.p.dialogs() if w.id == dialog.id and w.y == top][0], 10,
                            what="the chooser to move")
        # The "Color name" field, then the "Select" button.
        self.p.screen.click(dialog.x + 369, dialog.y + 154, count=3)
        self.p.screen.key("ctrl+a")
        self.p.screen.type(hexa)
        self.p.screen.key("Return")
        time.sleep(0.3)
        self.p.shot("chooser-" + hexa.strip("#"))
        self.p.screen.click(dialog.x + dialog.width - 56, dialog.y + dialog.height - 30)
        wait_until(lambda: dialog.id not in [w.id for w in self.p.dialogs()], 10, what="the chooser to close")
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        time.sleep(0.5)

    def pause_button(self):
        """The centre of the time controls' Pause button: the fourth of the
        transport buttons, told apart by their borders (as the screenshot
        test finds their glyphs)."""
        image = self.p.screen.screenshot()
        panel = self.p.frame(image).panel("time_controls")
        region = np.asarray(panel.crop(image)[:80], dtype=np.int32)
        differs = np.abs(region - np.median(region.reshape(-1, 3), axis=0)).sum(axis=2) > 20
        bands = [b for b in layout.runs(differs.any(axis=1)) if b[1] - b[0] >= 8]
        check(bands, "the time controls show no transport buttons")
        top, bottom = bands[0]
        borders = layout.runs(differs[top:bottom].mean(axis=0) > 0.9)
        check(len(borders) >= 5, "the transport buttons show %d borders" % len(borders))
        return panel.left + (borders[3][1] + borders[4][0]) // 2, panel.top + (top + bottom) // 2

    def disc_x(self, image):
        """Where the footage's orange disc lies across the picture (its
        mean column), matted or not; None when it is not seen."""
        picture = self.picture.crop(image).astype(int)
        disc = (picture[:, :, 0] > 180) & (picture[:, :, 2] < 120)
        return float(np.nonzero(disc)[1].mean()) + 0.5 if disc.sum() > 500 else None

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def zoom_disabled(self):
        """No project: the zoom controls are drawn greyed (no black line or
        glyph, no slider thumb), and clicks on them change nothing."""
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        time.sleep(0.5)
        image, path = self.p.shot("no-project")
        frame, rows = self.zoom_rows(image)
        for row in rows:
            check(luminance(row).min() > 80, "a zoom control looks enabled with no project open; see %s" % path)
        main = self.p.main_window()
        before = image[main.y:main.y + main.height, main.x:main.x + main.width]
        strip = layout.background_colour_box(frame)
        display = frame.panel("display")
        timeline = frame.panel("timeline")
        for x, y in ((strip[0] - 22, strip[1]), (strip[0] - 60, strip[1]), (display.right - 12, display.bottom - 10),
                     (timeline.left + 200, timeline.bottom - 24)):
            self.p.screen.click(x, y)
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        time.sleep(0.5)
        after, path = self.p.shot("no-project-clicked")
        check(np.array_equal(after[main.y:main.y + main.height, main.x:main.x + main.width], before),
              "a click on a disabled zoom control changed the window; see %s" % path)

    def tool_names(self):
        """The tooltips of the first two tool buttons read "Hand (H)" and
        "Zoom (Z)": a word, a space, then the word's first letter between
        two brackets that reach above and below it."""
        tools = self.p.frame().panel("tools")
        for name, y in (("Hand", tools.top + 12), ("Zoom", tools.top + 35)):
            tip = self.hover_tip(tools.left + 12, y, name)
            time.sleep(0.3)
            image, path = self.p.shot("tooltip-" + name)
            g = glyphs(image[tip.y:tip.y + tip.height, tip.x:tip.x + tip.width])
            check(len(g) == 7, "the %s tool's tooltip shows %d glyphs, not the 7 of \"%s (%s)\"; see %s"
                  % (name, len(g), name, name[0], path))
            # The widest gap is the space; the letter in brackets is the
            # word's first; the brackets are taller than the letters.
            gaps = [b[0] - a[1] for a, b in zip(g, g[1:])]
            text = image[tip.y:tip.y + tip.height, tip.x:tip.x + tip.width].astype(int)
            first, inner = text[:, g[0][0]:g[0][1]], text[:, g[5][0]:g[5][1]]
            same = first.shape == inner.shape and np.abs(first - inner).mean() < 10
            check(max(gaps) == gaps[3] and same and g[4][2] < g[0][2] and g[6][3] > g[0][3],
                  "the %s tool's tooltip does not read \"%s (%s)\"; see %s" % (name, name, name[0], path))
            self.p.screen.move(self.p.screen.width // 2, self.p.screen.height // 3)
            wait_until(lambda: not self.p.screen.popups(), 10, what="the tooltip to go")

    def hover_tip(self, x, y, name):
        """The tooltip that shows with the pointer at rest over (x, y). The
        toolkit now and then lets a hover pass without one, as it does for
        a user, who then moves off and back: so does the test."""
        for attempt in range(3):
            if attempt:
                self.p.screen.move(self.p.screen.width // 2, self.p.screen.height // 3)
                time.sleep(1)
            self.p.screen.move(x, y)
            self.p.screen.move(x + 1, y)
            try:
                return wait_until(lambda: [w for w in self.p.screen.popups() if w.width > 20], 5,
                                  what="the tooltip of the %s tool" % name)[0]
            except DriverError:
                if attempt == 2:
                    raise

    def open_project(self):
        self.new_project()
        image, path = self.p.shot("project")
        _, rows = self.zoom_rows(image)
        for row in rows:
            check(luminance(row).min() < 60, "a zoom control looks disabled with a project open; see %s" % path)

    def ring_and_fill(self):
        """A ring of six moves of 46 pixels with a brush of radius 4 round
        the disc, a fill inside it: the key mask is the filled ring."""
        self.p.choose("Segment", "New Segment")
        self.p.choose("Display", "Edit Mask")
        box = self.picture
        # A right click off the picture clears nothing and gives the view
        # the keyboard, where "[" shrinks the brush step by step.
        self.p.screen.click(box.right + 20, box.bottom + 20, button=3)
        cx, cy = box.left + DISC[0], box.top + DISC[1]
        self.p.screen.move(cx, cy)
        for _ in range(20 - BRUSH):
            self.p.screen.key("bracketleft")
        points = [(cx + RING * np.cos(2 * np.pi * k / CORNERS), cy + RING * np.sin(2 * np.pi * k / CORNERS))
                  for k in range(CORNERS + 1)]
        # One motion event per corner; the pause lets each arrive on its
        # own (the window system merges motion that queues up).
        self.p.screen.drag(points, step=1000, step_pause=0.3, hold=0.2)
        time.sleep(0.3)
        self.p.shot("ring")
        tools = self.p.frame().panel("tools")
        self.p.screen.click(tools.left + 12, tools.top + 83)  # the fill tool
        self.p.screen.click(cx, cy)
        time.sleep(0.5)
        self.p.shot("filled")
        path = os.path.join(self.out, "key.bmp")
        check(self.p.menu_item_enabled("Segment", "Export Key Mask..."),
              "the fill leaked out of the ring over the whole mask (Export Key Mask is disabled)")
        self.p.choose("Segment", "Export Key Mask...")
        self.p.answer_file_chooser("Export Mask", path)
        wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 10, what="the key mask file")
        time.sleep(0.3)
        mask = images.read_mask(path)
        check(mask.shape == (HEIGHT, WIDTH), "the key mask is %s" % (mask.shape,))
        ys, xs = np.mgrid[0:HEIGHT, 0:WIDTH]
        distance = np.hypot(xs + 0.5 - DISC[0], ys + 0.5 - DISC[1])
        check(mask[distance < RING - BRUSH - 2].all(), "the fill left part of the ring's inside clear")
        check(not mask[distance > RING + BRUSH + 2].any(),
              "the fill leaked out of the ring: %d pixels outside it are set" % mask[distance > RING + BRUSH + 2].sum())

    def colour_box(self):
        """The colour box below the view: green becomes the view's colour
        round the picture and the colour of the matte over it."""
        frame = self.p.frame()
        x, y = layout.background_colour_box(frame)
        self.choose_colour(x, y, "#00C800", "the colour box")
        image, path = self.p.shot("green")
        check(self.view_colour() == GREEN, "the view round the picture is %s, not green; see %s"
              % (self.view_colour(), path))
        # Outside the key mask the picture lies under the matte: greener
        # than the footage.
        box = self.picture
        corner = image[box.top + 5:box.top + 25, box.right - 25:box.right - 5].astype(int)
        check((corner[:, :, 1] - corner[:, :, 2]).mean() > 40 and (corner[:, :, 1] - corner[:, :, 0]).mean() > 40,
              "the matte over the picture is not green; see %s" % path)
        check(tuple(int(v) for v in image[y, x]) == GREEN, "the colour box shows %s, not green; see %s"
              % (tuple(int(v) for v in image[y, x]), path))

    def display_panel_colour(self):
        """Red chosen for the matte in the Display panel (Matted
        Foreground, key 4): the box below the view shows it at once, the
        pointer far from it."""
        self.p.screen.focus(self.p.main_window())
        self.p.screen.key("4")
        time.sleep(0.5)
        image = self.p.screen.screenshot()
        frame = self.p.frame(image)
        area, line = layout.property_list_area(image, frame.panel("display"))
        check(area is not None, "the Display panel shows no property list")
        # "Color" is the sixth row of the style tree.
        self.choose_colour(line + 10, area.top + 5 * layout.PROPERTY_ROW_HEIGHT + 9, "#C80000",
                           "the matte colour in the Display panel")
        image, path = self.p.shot("red")
        x, y = layout.background_colour_box(frame)
        check(tuple(int(v) for v in image[y, x]) == RED, "the colour box shows %s after the matte colour "
              "was set to red in the Display panel; see %s" % (tuple(int(v) for v in image[y, x]), path))
        check(self.view_colour() == RED, "the view round the picture is %s, not red" % (self.view_colour(),))

    def pause_stays(self):
        """Processing follows the segment (auto follow); the Pause button
        pauses, and the view stays on its frame while the segment's results
        grow on the timeline."""
        self.p.choose("Time", "Last Frame")
        self.p.choose("Segment", "Set Front End")
        self.p.choose("Time", "First Frame")
        x, y = self.pause_button()
        self.p.choose("Segment", "Process")
        self.p.screen.click(x, y)
        # The whole segment takes about a second: the shot right after the
        # click shows it unfinished, so what changes later is reported after
        # the pause.
        time.sleep(0.1)
        image, path = self.p.shot("paused")
        row = self.p.frame(image).panel("timeline")
        grown = 0
        end = time.monotonic() + 5
        while time.monotonic() < end:
            time.sleep(0.1)
            later = self.p.screen.screenshot()
            if not np.array_equal(row.crop(later), row.crop(image)):
                grown += 1
                image = later
            # The first frame stays (its own result may come): the disc
            # stays where it is on that frame.
            x = self.disc_x(later)
            if x is None or abs(x - DISC[0]) > 4:
                _, path = self.p.shot("unpaused")
                raise DriverError("the view left the paused frame while the segment was processed (the disc is "
                                  "at x %s, not %d); see %s" % (x, DISC[0], path))
        self.p.shot("still-paused")
        check(grown >= 1, "the timeline showed no progress after Pause: the test saw no report arrive; see %s"
              % path)
        if self.p.menu_item_enabled("Segment", "Cancel"):
            self.p.choose("Segment", "Cancel")

    def colour_kept(self):
        """Closing the project and opening another keeps the chosen
        colour."""
        self.p.choose("File", "Close Project")
        self.p.answer_dialog("alt+n", what="the save question")
        self.p.wait_title("Tavelo")
        self.new_project()
        time.sleep(0.5)
        image, path = self.p.shot("reopened")
        check(self.view_colour() == RED, "after closing and opening the view round the picture is %s, not red; "
              "see %s" % (self.view_colour(), path))

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("zoom controls disabled without a project", self.zoom_disabled, needs=["start"])
            s.run("tool names", self.tool_names, needs=["start"])
            s.run("project", self.open_project, needs=["start"])
            s.run("fast ring is closed", self.ring_and_fill, needs=["project"])
            s.run("colour box sets the matte", self.colour_box, needs=["project"])
            s.run("matte from the Display panel shows in the box", self.display_panel_colour,
                  needs=["colour box sets the matte"])
            s.run("pause stays while processing", self.pause_stays, needs=["fast ring is closed"])
            s.run("colour kept after close and open", self.colour_kept,
                  needs=["matte from the Display panel shows in the box"])

        return run_steps(s, self.p, steps, end_shot=False)


if __name__ == "__main__":
    test_main(__doc__, "view", lambda args, work: ViewFlow(args.program, args.footage_tool, work).run())
