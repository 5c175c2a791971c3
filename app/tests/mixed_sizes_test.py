#!/usr/bin/python3
"""An image sequence whose files are not all of its first file's size, as a
user meets it, driven from outside the process with synthesised X input on
a display of its own:

a PNG sequence of 320 x 240 pictures of a textured disc moving over a
textured background, whose file 3 is a smaller 200 x 160 picture (the
top-left part of the frame) and whose file 6 a larger 480 x 360 one (the
frame at its top-left corner, other pixels beyond). File > New Project...
on its first file; Time > Go to Frame... 2, then 3: the smaller picture sits
at the top-left corner of the frame with black beyond it, never the
pixels of frame 2; frame 6 shows its top-left 320 x 240. Rendered to PNG
and to AVI (File > Preferences/Rendering..., File > Render...), every
frame is 320 x 240 and the odd ones fitted so. A segment keyed on frame 0
and processed to the end goes past the odd frames: no message, and the
exported crisp masks of every frame follow the disc. The diagnostic stream
names each odd file and its size once.

Usage: mixed_sizes_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys
import time

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.steps import check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402
from user_flow_test import FRAMES, HEIGHT, WIDTH, Flow, Footage, Picture  # noqa: E402

# The odd files: frame -> (width, height) of its file.
ODD = {3: (200, 160), 6: (480, 360)}
# Format rows of the Rendering Settings' list, sorted as it shows them.
PNG_FORMAT = 4
AVI_FORMAT = 0


def fitted(picture, width=WIDTH, height=HEIGHT):
    """`picture` at the top-left corner of a width x height frame, black
    where it does not reach."""
    out = np.zeros((height, width, 3), dtype=np.uint8)
    h = min(height, picture.shape[0])
    w = min(width, picture.shape[1])
    out[:h, :w] = picture[:h, :w]
    return out


class SequenceFootage(Footage):
    """The disc footage as a PNG sequence with the odd files; `frame(i)`
    answers what the program should show of frame i."""

    def __init__(self, tool, truth, work):
        self.truth = truth
        self.tool = tool
        folder = os.path.join(work, "sequence")
        os.makedirs(folder, exist_ok=True)
        self.frames = []
        self.files = []
        rng = np.random.default_rng(7)
        for i in range(FRAMES):
            frame = images.read_rgb(os.path.join(self.truth, "frame_%03d.ppm" % i))
            if i in ODD:
                width, height = ODD[i]
                picture = rng.integers(0, 256, (height, width, 3), dtype=np.uint8)
                h = min(height, HEIGHT)
                w = min(width, WIDTH)
                picture[:h, :w] = frame[:h, :w]
                frame = fitted(picture)
            else:
                picture = frame
            path = os.path.join(folder, "disc_%03d.png" % i)
            Image.fromarray(picture).save(path)
            self.files.append(path)
            self.frames.append(frame)
        self.path = self.files[0]


def patch(image, box, x, y, size=8):
    """The mean colour of a size x size patch at image point (x, y) of the
    picture shown at `box` (100% zoom)."""
    left, top = box.left + x, box.top + y
    return image[top:top + size, left:left + size].reshape(-1, 3).mean(axis=0)


class MixedFlow(Flow):
    def __init__(self, program, tool, work):
        super().__init__(program, tool, work)
        # The disc footage's truth, written with the AVI made above.
        self.footage = SequenceFootage(tool, self.footage.truth, work)
        self.box = None

    # Helpers --------------------------------------------------------------

    def shown(self, frame_index, name):
        """The view shows frame `frame_index` as the footage should give it,
        at 100%, within a small tolerance."""
        truth = self.footage.frame(frame_index)

        def matches():
            image = self.p.screen.screenshot()
            box, _ = self.view_picture(image)
            if box is None or abs(box.width - WIDTH) > 2 or abs(box.height - HEIGHT) > 2:
                return None
            seen = image[box.top:box.top + HEIGHT, box.left:box.left + WIDTH]
            if seen.shape != truth.shape or images.mean_difference(seen, truth) > 6:
                return None
            return box
        try:
            self.box = wait_until(matches, 20, interval=0.4, what="the view to show frame %d fitted" % frame_index)
            self.picture = Picture(self.box.left, self.box.top, 1.0)
        finally:
            self.p.shot(name)

    def choose_format(self, row):
        """File > Preferences/Rendering...: the format of list row `row`
        (for AVI, the first coder)."""
        self.p.choose("File", "Preferences/Rendering...")
        dialog = self.p.screen.wait_window("Rendering Settings")
        time.sleep(0.5)
        fx, fy = layout.dialog_point(dialog, layout.RENDER_SETTINGS_FORMAT)
        self.p.choose_in_list(fx, fy, row)
        if row == AVI_FORMAT:
            time.sleep(0.5)
            ex, ey = layout.dialog_point(dialog, layout.RENDER_SETTINGS_CODER)
            self.p.choose_in_list(ex, ey, 0)
        time.sleep(0.3)
        self.p.shot("rendering-settings-%d" % row)
        ox, oy = layout.dialog_point(dialog, layout.RENDER_SETTINGS_OK)
        self.p.screen.click(ox, oy)
        self.p.screen.wait_gone("Rendering Settings", 10)

    def no_message(self, what):
        dialogs = self.p.dialogs()
        if dialogs:
            _, path = self.p.shot("unexpected-message")
            text = ""
            try:
                text = self.p.message_text(dialogs[-1])
            except DriverError:
                pass
            raise DriverError("%s showed a message %r; see %s" % (what, text, path))

    # Steps ------------------------------------------------------------------

    def new_project(self):
        self.p.new_project(self.footage.path)
        self.shown(0, "frame-0")

    def smaller_file(self):
        """After frame 2, the smaller file's frame: its picture at the
        top-left corner and black beyond it, not frame 2's pixels."""
        self.p.go_to_frame(2)
        self.shown(2, "frame-2")
        self.p.go_to_frame(3)
        self.shown(3, "frame-3-smaller-file")
        image = self.p.screen.screenshot()
        beyond = patch(image, self.box, 260, 200)
        check(beyond.max() < 8, "beyond the smaller picture the view shows %s, not black" % (beyond,))

    def larger_file(self):
        self.p.go_to_frame(6)
        self.shown(6, "frame-6-larger-file")

    def render_png(self):
        self.choose_format(PNG_FORMAT)
        pattern = os.path.join(self.out, "r_[###].png")
        self.save_through("File", "Render...", "Render to", pattern)
        self.wait_jobs_done("Rendering...")
        self.no_message("the PNG render")
        paths = [os.path.join(self.out, "r_%03d.png" % i) for i in range(FRAMES)]
        wait_until(lambda: all(os.path.exists(p) for p in paths), 30, what="the rendered files")
        wrong = []
        for i, path in enumerate(paths):
            picture = np.asarray(Image.open(path).convert("RGB"))
            if picture.shape != (HEIGHT, WIDTH, 3):
                wrong.append("frame %d is %dx%d" % (i, picture.shape[1], picture.shape[0]))
            elif images.mean_difference(picture, self.footage.frame(i)) > 2:
                wrong.append("frame %d differs by %.1f" % (i, images.mean_difference(picture, self.footage.frame(i))))
        check(not wrong, "the PNG render: " + "; ".join(wrong))

    def render_avi(self):
        self.choose_format(AVI_FORMAT)
        path = os.path.join(self.out, "render.avi")
        self.save_through("File", "Render...", "Render to", path)
        self.wait_jobs_done("Rendering...")
        self.no_message("the AVI render")
        wait_until(lambda: os.path.exists(path), 30, what="the rendered file")
        count, width, height, frames = self.footage.decode(path, os.path.join(self.work, "decoded"))
        check((count, width, height) == (FRAMES, WIDTH, HEIGHT),
              "the rendered AVI holds %d frames of %dx%d, not %d of %dx%d"
              % (count, width, height, FRAMES, WIDTH, HEIGHT))
        far = [i for i in range(FRAMES) if images.mean_difference(frames[i], self.footage.frame(i)) > 12]
        check(not far, "rendered AVI frames %s differ from the fitted footage" % far)

    def first_frame(self):
        self.p.go_to_frame(0)
        self.shown(0, "frame-0-again")

    def process_past(self):
        """A segment keyed on frame 0, stretched to the last frame and
        processed: no message, and every frame of it gets a mask."""
        self.process()
        self.no_message("processing")
        files = self.export_masks("crisp")
        self.check_masks_follow(files, range(0, FRAMES - 1))

    def told_once(self):
        report = self.p.stderr()
        for i, (width, height) in ODD.items():
            line = "%s is %d x %d pixels, not %d x %d" % (self.footage.files[i], width, height, WIDTH, HEIGHT)
            check(report.count(line) == 1, "the diagnostic stream names %s %d time(s), not once: %r"
                  % (self.footage.files[i], report.count(line), report[-1500:]))

    def quit(self):
        """The close button; the question whether to save the processed
        project is answered No."""
        check(self.p.alive(), "the program had already ended (status %s)" % self.p.process.poll())
        self.p.quit(timeout=60)

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("File > New Project... on the sequence", self.new_project, fatal=True)
            s.run("Go to Frame 2, then the smaller file's frame 3", self.smaller_file)
            s.run("Go to Frame 6: the larger file clipped", self.larger_file)
            s.run("PNG render: every frame 320 x 240", self.render_png)
            s.run("AVI render: every frame 320 x 240", self.render_avi)
            s.run("back to frame 0", self.first_frame)
            s.run("new segment", self.new_segment, needs=["back to frame 0"])
            s.run("edit mask", self.edit_mask, needs=["new segment"])
            s.run("brush over the disc", self.brush, needs=["edit mask"])
            s.run("segment to the last frame", self.stretch, needs=["brush over the disc"])
            s.run("processed past the odd frames", self.process_past, needs=["segment to the last frame"])
            s.run("each odd file told once", self.told_once)
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "mixed-sizes", lambda args, work: MixedFlow(args.program, args.footage_tool, work).run())
