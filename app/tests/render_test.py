#!/usr/bin/python3
"""Rendering as a user meets it when a name is refused, driven from outside
the process: a project on an AVI footage, the rendering settings set to
an AVI coder, File > Render... answered in the window system's file
chooser with the footage's own file (the chooser's question whether to
replace it answered yes); the program refuses it with its message and
shows the chooser again holding the refused name (taken as it stands,
it is refused again); another name is then rendered, and the footage
stays as it was.

Usage: render_test.py PROGRAM FOOTAGE_TOOL [--work FOLDER]
Screenshots of every step go to FOLDER/shots (default: a temporary
folder, removed when the test passes).
"""

import hashlib
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver.steps import check, run_steps, test_main  # noqa: E402
from driver.xsession import wait_until  # noqa: E402
from user_flow_test import FRAMES, HEIGHT, WIDTH, Flow  # noqa: E402

RENDER_TITLE = "Render to"


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class RenderFlow(Flow):
    def __init__(self, program, tool, work):
        super().__init__(program, tool, work)
        self.footage_digest = digest(self.footage.path)

    def chooser(self, timeout=15):
        return self.p.screen.wait_window(re.escape(RENDER_TITLE), timeout)

    def other_dialog(self, besides, what):
        """The newest dialog that is not `besides` (a window id)."""
        return wait_until(lambda: ([d for d in self.p.dialogs() if d.id != besides] or [None])[-1], 15,
                          what=what)

    def replace_and_refuse(self, typed, name):
        """In the shown render chooser: the path typed (or, without one, the
        name the chooser holds taken as it stands), the chooser's question
        whether to replace the existing file answered yes, and the
        program's refusal read and dismissed."""
        chooser = self.chooser()
        time.sleep(0.5)
        self.p.screen.focus(chooser)
        if typed:
            self.p.screen.key("ctrl+l")
            self.p.screen.key("ctrl+a")
            self.p.screen.type(typed)
            time.sleep(0.3)
        self.p.screen.key("Return")
        question = self.other_dialog(chooser.id, "the question whether to replace %s" % name)
        time.sleep(0.5)
        self.p.shot(name + "-replace-question")
        self.p.screen.focus(question)
        self.p.screen.key("alt+r")
        self.p.screen.wait_gone(re.escape(RENDER_TITLE), 10)
        refusal = self.p.wait_dialog(15, "the refusal of %s" % name)
        time.sleep(0.5)
        image, path = self.p.shot(name + "-refused")
        check(not refusal.title.startswith(RENDER_TITLE),
              "the chooser is shown again without a message; see %s" % path)
        self.p.screen.focus(refusal)
        self.p.screen.key("Return")
        wait_until(lambda: refusal.id not in [w.id for w in self.p.dialogs()], 10, what="the message to close")

    def refused_name_asked_again(self):
        self.p.choose("File", "Render...")
        self.replace_and_refuse(self.footage.path, "footage")
        # The chooser is back; it holds the refused name, so taking it as it
        # stands meets the same question and the same refusal.
        self.chooser()
        time.sleep(0.5)
        self.p.shot("chooser-again")
        self.replace_and_refuse(None, "held-name")
        self.chooser()
        check(digest(self.footage.path) == self.footage_digest, "the footage was written over")

    def other_name_renders(self):
        path = os.path.join(self.out, "render.avi")
        self.p.answer_file_chooser(RENDER_TITLE, path, timeout=15)
        self.wait_jobs_done("Rendering...")
        wait_until(lambda: os.path.exists(path), 30, what="the rendered file")
        count, width, height, _ = self.footage.decode(path, os.path.join(self.work, "decoded"))
        check((count, width, height) == (FRAMES, WIDTH, HEIGHT),
              "the rendered AVI holds %d frames of %dx%d, not %d of %dx%d"
              % (count, width, height, FRAMES, WIDTH, HEIGHT))
        check(digest(self.footage.path) == self.footage_digest, "the footage was written over")
        self.p.shot("rendered")

    def run(self):
        s = self.steps

        def steps():
            s.run("start", self.start, fatal=True)
            s.run("new project", self.new_project, needs=["start"])
            s.run("rendering settings", self.render_settings, needs=["new project"])
            s.run("the footage's name is refused and asked again", self.refused_name_asked_again,
                  needs=["rendering settings"])
            s.run("another name renders", self.other_name_renders,
                  needs=["the footage's name is refused and asked again"])

        return run_steps(s, self.p, steps)


if __name__ == "__main__":
    test_main(__doc__, "render", lambda args, work: RenderFlow(args.program, args.footage_tool, work).run())
