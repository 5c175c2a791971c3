#!/usr/bin/python3
"""What the program shows, against stored reference screenshots: the main
window with footage open in the default display style, its "Time Controls"
and "Display" panels, and the "Rendering Settings" dialog. A picture
passes when at most MAX_SHARE of its pixels differ from the reference by
more than TOLERANCE in some colour channel; a failing one leaves the
screenshot and a picture of the differences (magenta) beside the test's
output.

Checks that need no reference run as well: the view shows the footage's
first frame, every panel of the main window is there, and the transport
buttons of the time controls show glyphs that differ from one another.

Usage: screens_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER] [--regenerate]

--regenerate writes the screenshots as the new references into
app/tests/screens/, but only when the checks that need no reference pass
(--force writes them all the same); look at every one before committing
it: a reference must show a correct program. Through the build:
cmake --build build/rwdi --target screens_references
A missing reference makes the comparison of that picture skip; when
every reference is missing the test ends with status 77 (skipped).
"""

import os
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.footage import truth_folder, write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, save_image, wait_until  # noqa: E402

REFERENCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "screens")
TOLERANCE = 24
MAX_SHARE = 0.01
SKIPPED = 77


class Screens:
    def __init__(self, program, tool, work, regenerate, force=False):
        self.work = work
        self.regenerate = regenerate
        self.force = force
        self.tool = tool
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.close_dialogs)
        self.pictures = {}
        self.compared = 0
        self.missing = []

    def prepare(self):
        self.avi = write_footage(self.tool, self.work, 12)
        self.truth = images.read_rgb(os.path.join(truth_folder(self.avi), "frame_000.ppm"))
        self.p.start()
        self.p.new_project(self.avi)

    def footage_shown(self):
        def shown():
            image = self.p.screen.screenshot()
            frame = self.p.frame(image)
            area = layout.view_image_area(frame)
            box = layout.picture_box(image, area)
            if box is None or abs(box.width - self.truth.shape[1]) > 2 or abs(box.height - self.truth.shape[0]) > 2:
                return None
            seen = images.resize(box.crop(image), self.truth.shape[1], self.truth.shape[0])
            return images.mean_difference(seen, self.truth) <= 12
        try:
            wait_until(shown, 20, interval=0.5)
        except DriverError:
            raise DriverError("the view does not show the footage's first frame at 100%")

    def capture_main(self):
        # No hover highlight: the pointer rests outside the main window.
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        # The view paints on its own thread: give it time, shown or not.
        try:
            wait_until(lambda: self._settled(), 20, interval=0.5)
        except DriverError:
            pass
        image, _ = self.p.shot("main")
        main = self.p.main_window()
        self.pictures["main_window"] = image[main.y:main.y + main.height, main.x:main.x + main.width]
        frame = layout.find_frame(image, main)
        for name in ("time_controls", "display"):
            if name in frame.panels:
                header, body = frame.headers[name], frame.panels[name]
                self.pictures[name + "_panel"] = image[header.top:body.bottom, header.left:header.right]
        self.frame = frame
        self.image = image

    def _settled(self):
        """Two screenshots a moment apart are the same."""
        a = self.p.screen.screenshot()
        time.sleep(0.5)
        b = self.p.screen.screenshot()
        return np.array_equal(a, b)

    def panels_present(self):
        missing = [n for n in ("tools", "display", "time_controls", "properties", "timeline")
                   if n not in self.frame.panels]
        check(not missing, "the main window shows no %s panel" % ", ".join(missing))

    def transport_glyphs(self):
        """The transport buttons (first, previous, backward, pause,
        forward, next, last) show seven different glyphs."""
        glyphs = layout.transport_glyphs(self.image, self.frame.panel("time_controls"))
        check(len(glyphs) >= 7, "the time controls show %d buttons, not at least 7" % len(glyphs))
        same = [(i, j) for i in range(7) for j in range(i + 1, 7)
                if glyphs[i].shape == glyphs[j].shape and images.mean_difference(glyphs[i], glyphs[j]) < 4]
        check(not same, "transport buttons %s show the same glyph" % ", ".join("%d and %d" % p for p in same[:4]))

    def capture_rendering_settings(self):
        self.p.choose("File", "Preferences/Rendering...")
        dialog = self.p.screen.wait_window("Rendering Settings")
        self.p.screen.move(self.p.screen.width - 1, self.p.screen.height - 1)
        time.sleep(1)
        image, _ = self.p.shot("rendering-settings")
        self.pictures["rendering_settings"] = image[dialog.y:dialog.y + dialog.height,
                                                    dialog.x:dialog.x + dialog.width]
        # Escape cancels a dialog.
        self.p.screen.focus(dialog)
        self.p.screen.key("Escape")
        try:
            self.p.screen.wait_gone("Rendering Settings", 5)
        except DriverError:
            self.steps.soft_fail("Escape does not close the Rendering Settings dialog")
            self.p.screen.send_delete(dialog)
            self.p.screen.wait_gone("Rendering Settings", 10)

    def compare(self, name):
        picture = self.pictures.get(name)
        check(picture is not None, "no screenshot of %s was taken" % name)
        reference_path = os.path.join(REFERENCES, name + ".png")
        shot_path = os.path.join(self.work, name + ".png")
        save_image(picture, shot_path)
        if self.regenerate:
            if self.steps.failures and not self.force:
                raise DriverError("not written: a reference must show a correct program, and this one failed "
                                  "the checks above (--force writes it all the same, to look at)")
            os.makedirs(REFERENCES, exist_ok=True)
            save_image(picture, reference_path)
            print("wrote %s" % reference_path, flush=True)
            return
        if not os.path.exists(reference_path):
            self.missing.append(name)
            print("no reference %s (regenerate with --regenerate)" % reference_path, flush=True)
            return
        self.compared += 1
        reference = images.read_rgb(reference_path)
        check(picture.shape == reference.shape,
              "%s is %dx%d, its reference %dx%d; see %s" % (name, picture.shape[1], picture.shape[0],
                                                            reference.shape[1], reference.shape[0], shot_path))
        share, ok, diff = images.compare_with_reference(picture, reference, TOLERANCE, MAX_SHARE)
        if not ok:
            diff_path = os.path.join(self.work, name + "-differences.png")
            save_image(diff, diff_path)
            raise DriverError("%.1f%% of the pixels of %s differ from its reference; see %s and %s"
                              % (100 * share, name, shot_path, diff_path))

    def run(self):
        s = self.steps

        def steps():
            s.run("footage open", self.prepare, fatal=True)
            s.run("view shows the footage", self.footage_shown, needs=["footage open"])
            s.run("main window captured", self.capture_main, needs=["footage open"])
            s.run("every panel is there", self.panels_present, needs=["main window captured"])
            s.run("transport buttons show their glyphs", self.transport_glyphs, needs=["main window captured"])
            s.run("rendering settings captured", self.capture_rendering_settings, needs=["footage open"])
            for name in ("main_window", "time_controls_panel", "display_panel"):
                s.run("%s as its reference" % name, lambda n=name: self.compare(n), needs=["main window captured"])
            s.run("rendering_settings as its reference", lambda: self.compare("rendering_settings"),
                  needs=["rendering settings captured"])

        return run_steps(s, self.p, steps, end_shot=False, needs=["footage open"], shots=self.work)

def screens(args, work):
    shots = Screens(args.program, args.footage_tool, work, args.regenerate, args.force)
    status = shots.run()
    if status == 0 and not args.regenerate and shots.compared == 0:
        print("skipped: no reference images in %s" % REFERENCES, flush=True)
        status = SKIPPED
    return status


def options(parser):
    parser.add_argument("--regenerate", action="store_true")
    parser.add_argument("--force", action="store_true", help="with --regenerate: write even when checks fail")


if __name__ == "__main__":
    test_main(__doc__, "screens", screens, options=options)
