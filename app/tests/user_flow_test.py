#!/usr/bin/python3
"""A user's whole road through the program, driven from outside the
process with synthesised X input on a display of its own:

a fresh settings folder; File > New Project... on an AVI of a textured
disc moving over a textured background, chosen in the window system's
file chooser; the view shows the footage; Segment > New Segment, Display >
Edit Mask and a brush stroke over the disc (the exported key mask holds
the disc); the segment stretched to the last frame and processed; a later
frame shows the mask on the disc; exported crisp masks follow the disc
(IoU >= 0.9); "Decrease Mask Freedom" switched on in Properties and the
segment processed again; the contour and the crisp masks exported; the
rendering settings set to an AVI coder and the work area rendered through
"Render to" (read back by the codec library's own reader); the project
saved, closed and opened again with its segment and masks; the program
closed through its close button (WM_DELETE_WINDOW) with exit status 0,
no toolkit complaint on its diagnostic stream and no crash report.

Usage: user_flow_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import re
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.footage import truth_folder, write_footage  # noqa: E402
from driver.layout import Rect  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

FRAMES = 12
WIDTH, HEIGHT = 320, 240
# The frame on which the tracked mask is looked at.
LATER_FRAME = 8
# Processing a segment of 11 frames of 320 x 240.
PROCESS_TIMEOUT = 300


class Footage:
    """The test footage and the truth it was made from."""

    def __init__(self, tool, work):
        self.path = write_footage(tool, work, FRAMES)
        self.truth = truth_folder(self.path)
        self.tool = tool
        # The footage as the codec library's own reader decodes it.
        decoded = os.path.join(os.path.dirname(self.path), "decoded")
        count, width, height, self.frames = self.decode(self.path, decoded)
        if (count, width, height) != (FRAMES, WIDTH, HEIGHT):
            raise DriverError("the test footage decodes as %d frames of %dx%d" % (count, width, height))

    def frame(self, i):
        return self.frames[i]

    def shape(self, i):
        return images.read_mask(os.path.join(self.truth, "shape_%03d.pgm" % i))

    def centre(self, i):
        ys, xs = np.nonzero(self.shape(i))
        return float(xs.mean()) + 0.5, float(ys.mean()) + 0.5

    def decode(self, avi, folder):
        """Frames of an AVI the program wrote, by the codec library's own
        reader: (count, width, height, [frames])."""
        os.makedirs(folder, exist_ok=True)
        out = subprocess.run([self.tool, "decode", avi, folder], check=True, stdout=subprocess.PIPE,
                             text=True).stdout.split()
        count, width, height = int(out[1]), int(out[2]), int(out[3])
        return count, width, height, [images.read_rgb(os.path.join(folder, "%03d.ppm" % i))
                                      for i in range(count)]


class Picture:
    """Where the view shows the footage: its top-left corner on the screen
    and its zoom."""

    def __init__(self, left, top, scale):
        self.left, self.top, self.scale = left, top, scale

    def to_screen(self, x, y):
        return (self.left + x * self.scale, self.top + y * self.scale)

    def crop(self, image):
        w = int(round(WIDTH * self.scale))
        h = int(round(HEIGHT * self.scale))
        return image[self.top:self.top + h, self.left:self.left + w]


class Flow:
    def __init__(self, program, tool, work):
        self.work = work
        self.footage = Footage(tool, work)
        self.out = os.path.join(work, "out")
        os.makedirs(self.out, exist_ok=True)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover, after=self.new_complaints)
        self.seen_complaints = set()
        self.picture = None
        self.key_mask = None

    # Helpers --------------------------------------------------------------

    def new_complaints(self, step):
        """Tells which step made the program write each kind of complaint
        first."""
        if self.p.screen is None:
            return
        for kind in self.p.complaint_kinds():
            if kind not in self.seen_complaints:
                self.seen_complaints.add(kind)
                print("  during %s the program first wrote: %s" % (step, kind), flush=True)

    def view_picture(self, image):
        """The footage's place in the view, found as the part of the view
        area that differs from the view's own background."""
        area = layout.view_image_area(self.p.frame(image))
        return layout.picture_box(image, area), area

    def expect_footage_shown(self, frame_index, name):
        """The view shows footage frame `frame_index` as it is (no mask
        over it)."""
        truth = self.footage.frame(frame_index)

        def shown():
            image = self.p.screen.screenshot()
            box, area = self.view_picture(image)
            if box is None:
                return None
            scale = box.width / float(WIDTH)
            if abs(box.height - HEIGHT * scale) > 3 or scale < 0.2:
                return None
            seen = box.crop(image)
            wanted = images.resize(truth, box.width, box.height)
            if images.mean_difference(seen, wanted) > 12:
                return None
            return Picture(box.left, box.top, scale)

        try:
            self.picture = wait_until(shown, 20, interval=0.5, what="the view to show frame %d" % frame_index)
        except DriverError:
            image, path = self.p.shot(name + "-not-shown")
            box, area = self.view_picture(image)
            if box is None:
                what = "the view area %s shows no picture (one colour %s); see %s" % (
                    area, tuple(np.median(area.crop(image).reshape(-1, 3), axis=0).astype(int)), path)
            else:
                what = "the view shows a picture at %s that is not frame %d; see %s" % (box, frame_index, path)
            # The picture at 100% zoom, centred in the view area, lets the
            # steps that follow go on.
            self.picture = Picture(area.left + (area.width - WIDTH) // 2, area.top + (area.height - HEIGHT) // 2, 1.0)
            raise DriverError(what)
        self.p.shot(name)

    def menu_enabled(self, title, item):
        return self.p.menu_item_enabled(title, item)

    def save_through(self, menu, item, dialog_title, path, question=None):
        """A command that asks for a file to write, answered with `path`."""
        if os.path.exists(path):
            os.remove(path)
        self.p.choose(menu, item)
        if question:
            self.p.answer_dialog("Return", what=question)
        shown = self.p.answer_file_chooser(dialog_title, path, timeout=15, any_title=True)
        if shown != dialog_title:
            self.steps.soft_fail("the file dialog is titled %r, not %r" % (shown, dialog_title))

    def wait_jobs_done(self, title, timeout=120):
        """A job's progress window ("Rendering...", "Exporting masks...")
        has come (a short job may have ended before it is seen) and gone."""
        try:
            self.p.screen.wait_window(re.escape(title), 3)
        except DriverError:
            pass
        self.p.screen.wait_gone(re.escape(title), timeout)
        time.sleep(0.5)

    def wait_processing_done(self):
        """Processing is over when the segment can no longer be cancelled
        or processed (its data span covers its time span)."""
        end = time.monotonic() + PROCESS_TIMEOUT
        time.sleep(2)
        while time.monotonic() < end:
            if not self.menu_enabled("Segment", "Cancel") and not self.menu_enabled("Segment", "Process"):
                return
            time.sleep(2)
        raise DriverError("processing did not end within %ds" % PROCESS_TIMEOUT)

    def export_masks(self, name):
        """File > Export Crisp Masks... into out/NAME_###.bmp; answers the
        files by frame."""
        pattern = os.path.join(self.out, name + "_[###].bmp")
        for old in os.listdir(self.out):
            if old.startswith(name + "_"):
                os.remove(os.path.join(self.out, old))
        # The last frame lies outside the segment: the program asks whether
        # to skip frames without masks.
        self.save_through("File", "Export Crisp Masks...", "Export Masks to", pattern,
                          question="the question about frames without masks")
        self.wait_jobs_done("Exporting masks...")
        files = {}
        for i in range(FRAMES):
            path = os.path.join(self.out, "%s_%03d.bmp" % (name, i))
            if os.path.exists(path):
                files[i] = path
        return files

    def check_masks_follow(self, files, frames):
        low = []
        for i in frames:
            check(i in files, "no mask file for frame %d (files for frames %s)" % (i, sorted(files)))
            mask = images.read_mask(files[i])
            check(mask.shape == (HEIGHT, WIDTH), "the mask of frame %d is %s" % (i, mask.shape))
            score = images.iou(mask, self.footage.shape(i))
            if score < 0.9:
                low.append("frame %d: IoU %.3f" % (i, score))
        check(not low, "the exported masks do not follow the disc: " + "; ".join(low))

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")
        self.p.shot("start")

    def new_project(self):
        self.p.new_project(self.footage.path)

    def footage_shown(self):
        self.expect_footage_shown(0, "footage")

    def mnemonic(self):
        """Alt and a menu's underlined letter open it."""
        self.p.open_menu("Segment", by="mnemonic")
        self.p.screen.key("Escape")

    def new_segment(self):
        self.p.choose("Segment", "New Segment")
        time.sleep(0.5)
        self.p.shot("segment")
        check(self.menu_enabled("Display", "Edit Mask"), "no segment is selected after New Segment")

    def edit_mask(self):
        self.p.choose("Display", "Edit Mask")
        time.sleep(0.5)
        self.p.shot("edit-mask")

    def brush(self):
        """A stroke of the brush (radius 20 image pixels) round a circle of
        radius 14 about the disc's centre covers the disc (radius 34) and
        nothing much beyond it."""
        check(self.picture is not None, "the footage's place in the view is not known")
        cx, cy = self.footage.centre(0)
        points = []
        for k in range(0, 49):
            angle = 2 * np.pi * k / 48
            points.append(self.picture.to_screen(cx + 14 * np.cos(angle), cy + 14 * np.sin(angle)))
        points.append(self.picture.to_screen(cx, cy))
        self.p.screen.drag(points)
        time.sleep(0.5)
        self.p.shot("brushed")
        path = os.path.join(self.out, "key.bmp")
        self.save_through("Segment", "Export Key Mask...", "Export Mask", path)
        wait_until(lambda: os.path.exists(path), 10, what="the key mask file")
        time.sleep(0.3)
        mask = images.read_mask(path)
        check(mask.shape == (HEIGHT, WIDTH), "the key mask is %s, not %dx%d" % (mask.shape, WIDTH, HEIGHT))
        score = images.iou(mask, self.footage.shape(0))
        check(score >= 0.85, "the key mask covers the disc with IoU %.3f only (%d pixels set)" % (score, mask.sum()))
        self.key_mask = mask

    def stretch(self):
        """The segment reaches from its key frame to the last frame."""
        self.p.choose("Time", "Last Frame")
        self.p.choose("Segment", "Set Front End")
        check(self.menu_enabled("Segment", "Process"), "the segment cannot be processed")

    def process(self):
        self.p.choose("Segment", "Process")
        time.sleep(1)
        self.p.shot("processing")
        self.wait_processing_done()
        self.p.shot("processed")

    def later_frame(self):
        """On a later frame the view shows the footage with the mask on the
        disc: the disc as it is, the rest under the matte (blue)."""
        self.p.go_to_frame(LATER_FRAME)
        check(self.picture is not None, "the footage's place in the view is not known")
        truth = self.footage.frame(LATER_FRAME).astype(np.int32)
        shape = self.footage.shape(LATER_FRAME)
        inside = images.erode(shape, 4)
        outside = ~images.dilate(shape, 6)

        def shown():
            image = self.p.screen.screenshot()
            seen = self.picture.crop(image)
            if seen.shape[:2] != (HEIGHT, WIDTH):
                seen = images.resize(seen, WIDTH, HEIGHT)
            seen = seen.astype(np.int32)
            inner = np.abs(seen[inside] - truth[inside]).mean()
            bluer = (seen[outside][:, 2] - truth[outside][:, 2]).mean()
            return (inner, bluer) if inner < 15 and bluer > 30 else None

        try:
            wait_until(shown, 20, interval=0.5, what="the mask over frame %d" % LATER_FRAME)
        finally:
            self.p.shot("frame-%d" % LATER_FRAME)

    def masks_follow(self):
        files = self.export_masks("crisp")
        self.check_masks_follow(files, range(0, FRAMES - 1))
        check(FRAMES - 1 not in files, "a mask was written for the last frame, which no segment covers")

    def properties_scrolled_to_end(self):
        """Turns the wheel over the Properties list until it shows its last
        rows, as a user reaches a parameter below the visible ones; answers
        the panel and the screenshot then."""
        frame = self.p.frame()
        panel = frame.panel("properties")
        image = self.p.screen.screenshot()
        area, line = layout.property_list_area(image, panel)
        if area is None:
            _, path = self.p.shot("properties-not-shown")
            raise DriverError("the Properties panel %s shows no property list; see %s" % (panel, path))
        # Over the captions: the wheel scrolls, nothing is clicked.
        x, y = (area.left + line) // 2, area.top + min(20, area.height // 2)
        # The overlay scroll bar at the right edge comes and goes.
        def rows(picture):
            return Rect(area.left, area.top, line + 40, area.bottom).crop(picture)
        # At the end when two turns in a row leave the rows as they were (a
        # turn's repaint may come after the next screenshot).
        still = 0
        for _ in range(20):
            self.p.screen.wheel(x, y, -3)
            time.sleep(0.3)
            after = self.p.screen.screenshot()
            still = still + 1 if np.array_equal(rows(after), rows(image)) else 0
            image = after
            if still == 2:
                break
        else:
            raise DriverError("the Properties list did not come to its end under the wheel")
        return frame, image

    def change_parameter(self):
        """Switches "Decrease Mask Freedom" on in Properties."""
        frame, image = self.properties_scrolled_to_end()
        panel = frame.panel("properties")
        boxes = layout.property_check_boxes(image, panel)
        if not boxes:
            _, path = self.p.shot("properties-without-boxes")
            raise DriverError("Properties shows no check box, not the segment's parameter groups; see %s" % path)
        x, y, ticked = boxes[layout.DECREASE_MASK_FREEDOM_BOX]
        check(not ticked, "Decrease Mask Freedom is already on")
        self.p.screen.click(x, y)

        def ticked_now():
            boxes = layout.property_check_boxes(self.p.screen.screenshot(), panel)
            return boxes and boxes[layout.DECREASE_MASK_FREEDOM_BOX][2]
        try:
            wait_until(ticked_now, 10, interval=0.3, what="the tick")
        except DriverError:
            _, path = self.p.shot("parameter-not-ticked")
            raise DriverError("the Decrease Mask Freedom box shows no tick after the click; see %s" % path)
        self.p.shot("parameter")
        # The new parameters drop the results: the segment can be processed
        # again.
        check(self.menu_enabled("Segment", "Process"), "the segment cannot be processed after the change")

    def process_again(self):
        self.process()

    def export_contour(self):
        path = os.path.join(self.out, "contour.txt")
        self.save_through("Segment", "Export Contour...", "Export Contour", path)
        wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 10, what="the contour file")
        time.sleep(0.5)
        with open(path) as f:
            text = f.read()
        lines = text.split("\n")
        check(lines[0] == "Animated Bezier Contour", "the contour file begins %r" % lines[0])
        check(lines[1] == "Framerate 25", "the contour file's second line is %r" % lines[1])
        blocks = re.split(r"\n\nFrame ", text)[1:]
        check(blocks, "the contour file holds no frame")
        for block in blocks:
            rows = block.strip().split("\n")
            frame = int(rows[0])
            points = np.array([[float(v) for v in row.split("\t")] for row in rows[1:]])
            check(len(points) >= 4, "frame %d of the contour has %d points" % (frame, len(points)))
            cx, cy = self.footage.centre(frame)
            distance = np.hypot(points[:, 0] - cx, points[:, 1] - cy)
            check(abs(np.median(distance) - 34) < 6,
                  "the contour of frame %d lies %.1f pixels from the disc's centre, not about 34"
                  % (frame, np.median(distance)))

    def masks_after_change(self):
        files = self.export_masks("crisp2")
        self.check_masks_follow(files, range(0, FRAMES - 1))

    def render_settings(self):
        """Preferences > Rendering...: the format "AVI file" and the first
        coder of the list."""
        self.p.choose("File", "Preferences/Rendering...")
        dialog = self.p.screen.wait_window("Rendering Settings")
        time.sleep(0.5)
        self.p.shot("rendering-settings")
        fx, fy = layout.dialog_point(dialog, layout.RENDER_SETTINGS_FORMAT)
        self.p.choose_in_list(fx, fy, 0)  # "AVI file", first of the sorted list
        ex, ey = layout.dialog_point(dialog, layout.RENDER_SETTINGS_CODER)
        # The coder list's arrow is drawn dark once "AVI file" enables it.
        time.sleep(0.5)
        image, path = self.p.shot("rendering-settings-format")
        arrow = layout.luminance(image[ey - 6:ey + 6, ex - 6:ex + 6]).min()
        check(arrow < 110, "the coder list is disabled after choosing \"AVI file\"; see %s" % path)
        count = self.p.choose_in_list(ex, ey, 0)
        check(count >= 2, "the coder list offers %d coder(s)" % count)
        time.sleep(0.3)
        self.p.shot("rendering-settings-avi")
        ox, oy = layout.dialog_point(dialog, layout.RENDER_SETTINGS_OK)
        self.p.screen.click(ox, oy)
        self.p.screen.wait_gone("Rendering Settings", 10)

    def render(self):
        path = os.path.join(self.out, "render.avi")
        self.save_through("File", "Render...", "Render to", path)
        self.wait_jobs_done("Rendering...")
        wait_until(lambda: os.path.exists(path), 30, what="the rendered file")
        count, width, height, frames = self.footage.decode(path, os.path.join(self.work, "decoded"))
        check((count, width, height) == (FRAMES, WIDTH, HEIGHT),
              "the rendered AVI holds %d frames of %dx%d, not %d of %dx%d"
              % (count, width, height, FRAMES, WIDTH, HEIGHT))
        # Rendered as the view shows it: the disc as it is, the rest under
        # the matte; the last frame (no mask) as it is.
        for i in (0, LATER_FRAME):
            truth = self.footage.frame(i).astype(np.int32)
            shape = self.footage.shape(i)
            inside = images.erode(shape, 4)
            outside = ~images.dilate(shape, 6)
            seen = frames[i].astype(np.int32)
            inner = np.abs(seen[inside] - truth[inside]).mean()
            bluer = (seen[outside][:, 2] - truth[outside][:, 2]).mean()
            check(inner < 15 and bluer > 30,
                  "rendered frame %d: the disc differs by %.1f from the footage, the rest is %.1f bluer"
                  % (i, inner, bluer))
        last = images.mean_difference(frames[FRAMES - 1], self.footage.frame(FRAMES - 1))
        check(last < 12, "the rendered last frame differs from the footage by %.1f" % last)

    def save(self):
        path = os.path.join(self.out, "project.tvp")
        if os.path.exists(path):
            os.remove(path)
        self.p.choose("File", "Save")
        self.p.answer_file_chooser("Save Project As", path)
        self.p.wait_title("project - Tavelo")
        check(os.path.exists(path), "no project file was written")
        self.project = path

    def saved_parameter(self):
        with open(self.project, encoding="utf-8", errors="replace") as f:
            text = f.read()
        check('decrease_mask_freedom="1"' in text, "the saved project does not hold the changed parameter")

    def close_and_open(self):
        self.p.choose("File", "Close Project")
        self.p.wait_title("Tavelo")
        self.p.shot("closed")
        self.p.choose("File", "Open...")
        self.p.answer_file_chooser("Open Project", self.project)
        self.p.wait_title("project - Tavelo")
        self.p.shot("reopened")

    def reopened_masks(self):
        files = self.export_masks("crisp3")
        self.check_masks_follow(files, range(0, FRAMES - 1))
        # The key mask is back as it was drawn.
        self.p.choose("Segment", "Activate below")
        path = os.path.join(self.out, "key2.bmp")
        self.save_through("Segment", "Export Key Mask...", "Export Mask", path)
        wait_until(lambda: os.path.exists(path), 10, what="the key mask file")
        time.sleep(0.3)
        mask = images.read_mask(path)
        check(self.key_mask is None or np.array_equal(mask, self.key_mask),
              "the key mask after opening differs from the one drawn")

    def background_colour(self):
        """The colour box below the view opens the colour chooser; Escape
        closes it and the program goes on."""
        title = self.p.title()
        x, y = layout.background_colour_box(self.p.frame())
        time.sleep(1)
        self.p.screen.click(x, y)
        dialog = self.p.wait_dialog(15, "the colour chooser after a click on the colour box at %d,%d" % (x, y))
        time.sleep(0.5)
        self.p.shot("colour-chooser")
        self.p.screen.focus(dialog)
        self.p.screen.key("Escape")
        time.sleep(1)
        check(self.p.alive(), "the program ended when the colour chooser was closed (crash report: %s)"
              % (self.p.crash_reports() or ["none"])[0])
        self.p.screen.wait_gone(re.escape(dialog.title), 10)
        self.p.wait_title(title)

    def quit(self):
        """The close button ends the program without a question: nothing
        changed since the project was opened."""
        check(self.p.alive(), "the program had already ended (status %s)" % self.p.process.poll())

        def question():
            _, path = self.p.shot("closing-question")
            self.steps.soft_fail("closing the unchanged project asked a question; see %s" % path)
        self.p.quit(timeout=60, on_question=question)

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("new project", self.new_project, needs=["start"])
            s.run("view shows the footage", self.footage_shown, needs=["new project"])
            s.run("menus open by their mnemonic", self.mnemonic, needs=["new project"])
            s.run("new segment", self.new_segment, needs=["new project"])
            s.run("edit mask", self.edit_mask, needs=["new segment"])
            s.run("brush over the disc", self.brush, needs=["edit mask"])
            s.run("segment to the last frame", self.stretch, needs=["brush over the disc"])
            s.run("process", self.process, needs=["segment to the last frame"])
            s.run("later frame shows the mask", self.later_frame, needs=["process"])
            s.run("exported masks follow the disc", self.masks_follow, needs=["process"])
            s.run("parameter changed in Properties", self.change_parameter, needs=["process"])
            s.run("process again", self.process_again, needs=["parameter changed in Properties"])
            s.run("export contour", self.export_contour, needs=["process again"])
            s.run("export crisp masks again", self.masks_after_change, needs=["process again"])
            s.run("rendering settings", self.render_settings, needs=["new project"])
            s.run("render to AVI", self.render, needs=["rendering settings", "process"])
            s.run("save", self.save, needs=["new project"])
            s.run("saved project holds the parameter", self.saved_parameter,
                  needs=["save", "parameter changed in Properties"])
            s.run("close and open", self.close_and_open, needs=["save"])
            s.run("segment and masks are back", self.reopened_masks, needs=["close and open", "process"])
            s.run("background colour chooser", self.background_colour, needs=["new project"])
            s.run("quit through the close button", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "flow", lambda args, work: Flow(args.program, args.footage_tool, work).run())
