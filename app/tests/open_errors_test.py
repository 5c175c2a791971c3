#!/usr/bin/python3
"""Opening what is not a project, or a damaged one, as a user meets it,
driven from outside the process with synthesised X input on a display of
its own:

File > Open... of a project cut short in its fourth line: the error box
names the file and the line where the text stops matching. A project whose
work area's "First" is no number is refused, the box naming the attribute
and its element. Then, with a good project open, an AVI file dropped onto
the window as a file manager drops it (XDND): the project is closed first
and the box names the AVI and its first line. Each box's text is read as a
user copies it (the label selected whole); the window shows no project
after each.

Usage: open_errors_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver.footage import write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import Steps, check, run_steps, test_main  # noqa: E402

FRAMES = 6
REPORT = "Error while opening project:\n%s: %s."


class Flow:
    def __init__(self, program, tool, work):
        self.clip = write_footage(tool, work, FRAMES, "clip.avi")
        self.projects = os.path.join(work, "projects")
        os.makedirs(self.projects, exist_ok=True)
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.steps = Steps(recover=self.p.recover)

    def write_project(self, name, text):
        path = os.path.join(self.projects, name + ".tvp")
        with open(path, "w") as f:
            f.write(text)
        return path

    def project_text(self, work_area=""):
        return ("<?xml version=\"1.0\" ?>\n<Tavelo CurrentFrame=\"0\">\n"
                "  <Footage type=\"avi\" path=\"../footage/clip.avi\"/>\n%s</Tavelo>\n" % work_area)

    def open_project(self, path):
        self.p.choose("File", "Open...")
        self.p.answer_file_chooser("Open Project", path)

    def error_box(self, name, expected):
        """The error box that comes next shows `expected`; answered, it
        leaves the window without a project."""
        box = self.p.wait_dialog(what="the error box")
        time.sleep(0.5)
        self.p.shot(name)
        title = self.p.title()
        text = self.p.message_text(box)
        self.p.answer_dialog("Return", what="the error box")
        check(text == expected, "the error box reads %r, not %r" % (text, expected))
        check(title == "Tavelo", "the window's title reads %r while the error is shown" % title)
        self.p.wait_title("Tavelo")

    # Steps ------------------------------------------------------------------

    def start(self):
        self.p.start()
        self.p.wait_title("Tavelo")

    def open_cut(self):
        whole = self.project_text("  <WorkArea First=\"1\" Last=\"4\"/>\n")
        path = self.write_project("cut", whole[:whole.index("<WorkArea") + 20])
        self.open_project(path)
        self.error_box("cut-project", REPORT % (path, "stream parse error at line 4"))

    def open_damaged_work_area(self):
        path = self.write_project("damaged", self.project_text("  <WorkArea First=\"abc\" Last=\"4\"/>\n"))
        self.open_project(path)
        self.error_box("damaged-work-area",
                       REPORT % (path, "attribute parse error (\"First\" of element \"WorkArea\")"))

    def drop_avi(self):
        good = self.write_project("good", self.project_text())
        self.open_project(good)
        self.p.wait_title("good - Tavelo")
        time.sleep(1)
        self.p.shot("good-open")
        x, y = self.p.main_window().centre()
        self.p.screen.drop_files(x, y, [self.clip])
        self.error_box("dropped-avi", REPORT % (self.clip, "stream parse error at line 1"))

    def quit(self):
        self.p.quit()

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("File > Open of a cut project", self.open_cut, needs=["start"])
            s.run("File > Open of a damaged work area", self.open_damaged_work_area, needs=["start"])
            s.run("an AVI dropped onto an open project", self.drop_avi, needs=["start"])
            s.run("quit", self.quit, needs=["start"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "open-errors", lambda args, work: Flow(args.program, args.footage_tool, work).run())
