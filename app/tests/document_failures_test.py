#!/usr/bin/python3
"""Where a user's work meets a failure path of the project, driven from
outside the process with synthesised X input on a display of its own:

a project of three segments opened through File > Open..., the middle one
with the graph cut on and a key mask too small for it; Segment > Process
All shows one warning (the segment's failure) and the segments before and
after it are calculated all the same (read back from the saved project);
the engine's own words are on the diagnostic stream. Then a project whose
footage file is gone: it opens over the stand-in (a notice), the work area
is made to begin at frame 1 through Time > Go to Frame... and Timeline >
Begin Work Area, and saved; with the footage file back, the work area
reaches the footage's last frame, not the stand-in's.

Usage: document_failures_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import io
import os
import shutil
import sys
import time
import xml.etree.ElementTree as ElementTree

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images  # noqa: E402
from driver.footage import truth_folder, write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

FRAMES = 12
WIDTH, HEIGHT = 320, 240
PROCESS_TIMEOUT = 300
# The three segments: key frame and time span; the middle one fails.
SEGMENTS = [(2, (1, 4)), (6, (5, 8)), (9, (8, 11))]
FAILING = 1


def encoded_mask(mask):
    """A key mask as the project file holds it: a PNG in hexadecimal."""
    out = io.BytesIO()
    Image.fromarray(mask.astype(np.uint8) * 255, "L").save(out, "PNG")
    return out.getvalue().hex().upper()


def segment_element(key, span, mask, params=""):
    return ("<Segment origin='%d'><keymask encoded='%s'/><param %s/><TimeSpan First='%d' Last='%d'/>"
            "<MaskMode mode='Substitute'/></Segment>" % (key, encoded_mask(mask), params, span[0], span[1]))


class Flow:
    def __init__(self, program, tool, work):
        self.work = work
        self.clip = write_footage(tool, work, FRAMES)
        self.footage = os.path.dirname(self.clip)
        self.truth = truth_folder(self.clip)
        self.projects = os.path.join(work, "projects")
        os.makedirs(self.projects, exist_ok=True)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)

    # Helpers --------------------------------------------------------------

    def shape(self, i):
        return images.read_mask(os.path.join(self.truth, "shape_%03d.pgm" % i))

    def write_project(self, name, footage, current, segments):
        path = os.path.join(self.projects, name + ".tvp")
        with open(path, "w") as f:
            f.write("<Tavelo CurrentFrame='%d'><Footage type='avi' path='../footage/%s'/>%s</Tavelo>"
                    % (current, footage, "".join(segments)))
        return path

    def open_project(self, path):
        self.p.choose("File", "Open...")
        self.p.answer_file_chooser("Open Project", path)

    def no_dialog_for(self, seconds, what):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if self.p.dialogs():
                _, path = self.p.shot("unexpected-dialog")
                raise DriverError("%s; see %s" % (what, path))
            time.sleep(0.3)

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def open_three(self):
        speck = np.zeros((HEIGHT, WIDTH), dtype=bool)
        cy, cx = [int(v.mean()) for v in np.nonzero(self.shape(6))]
        speck[cy - 1:cy + 2, cx - 1:cx + 2] = True
        elements = []
        for i, (key, span) in enumerate(SEGMENTS):
            if i == FAILING:
                elements.append(segment_element(key, span, speck, "mincut='1'"))
            else:
                elements.append(segment_element(key, span, self.shape(key)))
        self.three = self.write_project("three", "disc.avi", 0, elements)
        self.open_project(self.three)
        self.p.wait_title("three - Tavelo")
        self.p.shot("three-opened")

    def process_all(self):
        """One warning comes while the others go on; once it is answered,
        processing ends by itself and no other warning follows."""
        self.p.choose("Segment", "Process All")
        dialog = self.p.wait_dialog(PROCESS_TIMEOUT, "the warning of the failing segment")
        time.sleep(1)
        self.p.shot("warning")
        self.p.screen.focus(dialog)
        self.p.screen.key("Return")
        wait_until(lambda: dialog.id not in [w.id for w in self.p.dialogs()], 10, what="the warning to close")
        end = time.monotonic() + PROCESS_TIMEOUT
        while self.p.menu_item_enabled("Segment", "Cancel All"):
            check(not self.p.dialogs(), "a second dialog came during Process All")
            check(time.monotonic() < end, "processing did not end within %ds" % PROCESS_TIMEOUT)
            time.sleep(1)
        self.no_dialog_for(2, "a second dialog came after Process All")
        self.p.shot("processed")

    def others_calculated(self):
        """Saved, the project holds results for every frame of the two
        good segments and none for the failing one."""
        self.p.choose("File", "Save")
        self.p.wait_title("three - Tavelo")
        root = ElementTree.parse(self.three).getroot()
        segments = root.findall("Segment")
        check(len(segments) == 3, "the saved project holds %d segments" % len(segments))
        for i, element in enumerate(segments):
            records = len(element.findall("twomasks"))
            first, last = SEGMENTS[i][1]
            if i == FAILING:
                check(records == 0, "the failing segment holds %d frame results" % records)
            else:
                check(records >= last - first and int(element.get("first_data", "-1")) <= first,
                      "segment %d holds %d frame results from frame %s, not the frames %d to %d"
                      % (i, records, element.get("first_data"), first, last - 1))

    def engine_words_logged(self):
        name = "<%02d-[%02d]-%02d>" % (SEGMENTS[FAILING][1][0], SEGMENTS[FAILING][0], SEGMENTS[FAILING][1][1])
        line = ("segment %s could not be processed at frame %d: obligatory foreground pixels mask can't be empty"
                % (name, SEGMENTS[FAILING][0]))
        check(line in self.p.stderr(), "the diagnostic stream does not hold %r" % line)

    def open_missing(self):
        self.p.choose("File", "Close Project")
        self.p.wait_title("Tavelo")
        # The stand-in lasts to frame 3, which the segment and the current
        # frame imply; the clip has 12 frames.
        self.missing = self.write_project("missing", "gone.avi", 3,
                                          [segment_element(2, (1, 4), self.shape(2))])
        self.open_project(self.missing)
        self.p.wait_dialog(what="the notice of the missing footage")
        time.sleep(0.5)
        self.p.shot("missing-notice")
        self.p.answer_dialog("Return", what="the notice of the missing footage")
        self.p.wait_title("missing - Tavelo")

    def work_area_start_moved(self):
        self.p.go_to_frame(1)
        self.p.choose("Timeline", "Begin Work Area")
        time.sleep(0.5)
        self.p.shot("work-area-moved")
        self.p.choose("File", "Save")
        self.p.wait_title("missing - Tavelo")
        area = ElementTree.parse(self.missing).getroot().find("WorkArea")
        check(area is not None and area.get("First") == "1",
              "the saved work area is %s" % (None if area is None else area.attrib))

    def footage_back(self):
        """With the clip back under the name the project gives, the work
        area ends at the clip's last frame: Work Area End goes there."""
        self.p.choose("File", "Close Project")
        self.p.wait_title("Tavelo")
        shutil.copyfile(self.clip, os.path.join(self.footage, "gone.avi"))
        self.open_project(self.missing)
        self.p.wait_title("missing - Tavelo")
        self.no_dialog_for(1, "a dialog came when the project was opened with its footage")
        self.p.choose("Time", "Work Area End")
        time.sleep(0.5)
        self.p.shot("footage-back")
        check(not self.p.menu_item_enabled("Time", "Last Frame"),
              "Work Area End does not reach the clip's last frame: the work area was cut")
        # Begin Work Area is offered on every frame but the work area's first.
        self.p.go_to_frame(1)
        check(not self.p.menu_item_enabled("Timeline", "Begin Work Area"),
              "the work area does not begin at frame 1 any more")

    def quit(self):
        self.p.quit()

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("open three segments", self.open_three, needs=["start"])
            s.run("process all: one warning", self.process_all, needs=["open three segments"])
            s.run("the others are calculated", self.others_calculated, needs=["process all: one warning"])
            s.run("the engine's words are logged", self.engine_words_logged, needs=["process all: one warning"])
            s.run("open with the footage missing", self.open_missing, needs=["start"])
            s.run("work area start moved and saved", self.work_area_start_moved,
                  needs=["open with the footage missing"])
            s.run("footage back: the work area reaches its end", self.footage_back,
                  needs=["work area start moved and saved"])
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "failures", lambda args, work: Flow(args.program, args.footage_tool, work).run())
