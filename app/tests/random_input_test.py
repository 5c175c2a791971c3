#!/usr/bin/python3
"""A seeded run of random input over the main window while footage is
open and a segment is being processed: clicks, double clicks, right
clicks, drags, wheel turns and keys at random places of the window below
its menu bar. Every dialog or menu the input opens is closed by the run
(Escape, then the close message). Every few events the program must still
answer (a _NET_WM_PING comes back and the title can be read); at the end
it must be alive, have written no crash report and no toolkit complaint,
and close through its close button.

The events are a function of the seed alone; the program, its settings
and every file it may write stay inside one temporary folder (HOME, the
settings folders, the footage and the working folder are there).

Usage: random_input_test.py PROGRAM FOOTAGE_TOOL [--seed N] [--events N]
       [--work FOLDER]
"""

import os
import random
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import layout  # noqa: E402
from driver.footage import write_footage  # noqa: E402
from driver.program import Program  # noqa: E402
from driver.steps import test_main  # noqa: E402
from driver.xsession import DriverError, wait_until  # noqa: E402

# Keys the run presses, alone or with modifiers: navigation, the program's
# accelerators, tool keys, editing keys and dialog keys.
KEYS = [
    "Left", "Right", "Up", "Down", "Home", "End", "Prior", "Next", "Return", "Escape", "Delete",
    "BackSpace", "space", "Tab", "m", "h", "z", "b", "n", "i", "o", "1", "2", "3", "4", "5", "7",
    "bracketleft", "bracketright", "plus", "minus", "asterisk", "KP_Add", "KP_Subtract", "KP_Multiply",
    "KP_0", "F6", "shift+F6", "ctrl+z", "ctrl+shift+z", "alt+BackSpace", "ctrl+Right", "ctrl+Left",
    "ctrl+Up", "ctrl+Down", "ctrl+d", "shift+Home", "shift+End", "ctrl+0", "ctrl+alt+0", "ctrl+equal",
    "ctrl+minus", "ctrl+KP_Add", "alt+space", "ctrl+g", "ctrl+shift+n", "ctrl+c", "ctrl+v", "ctrl+x",
    "ctrl+Insert", "shift+Insert", "shift+Delete", "ctrl+alt+Home", "alt+bracketleft", "alt+bracketright",
    "ctrl+n", "ctrl+o", "ctrl+s",
]
# Event kinds and their weights.
KINDS = [("click", 30), ("right", 6), ("double", 6), ("drag", 18), ("right-drag", 4), ("wheel", 14),
         ("key", 22)]
FOOTAGE_FRAMES = 48


def make_events(seed, count, width, height):
    """The run's events for a main window of width x height (positions
    relative to the window, below the menu bar): the same seed gives the
    same list."""
    rng = random.Random(seed)
    kinds = [k for k, _ in KINDS]
    weights = [w for _, w in KINDS]
    top = layout.MENU_BAR_HEIGHT

    def point():
        return (rng.randrange(2, width - 2), rng.randrange(top + 1, height - 2))

    events = []
    for _ in range(count):
        kind = rng.choices(kinds, weights)[0]
        if kind in ("click", "right", "double"):
            events.append((kind, point()))
        elif kind in ("drag", "right-drag"):
            start = point()
            if rng.random() < 0.5:
                # A short drag, as on a slider or a handle.
                end = (min(width - 2, max(2, start[0] + rng.randint(-60, 60))),
                       min(height - 2, max(top + 1, start[1] + rng.randint(-30, 30))))
            else:
                end = point()
            events.append((kind, (start, end)))
        elif kind == "wheel":
            events.append((kind, (point(), rng.choice([-3, -2, -1, 1, 2, 3]))))
        else:
            events.append((kind, rng.choice(KEYS)))
    return events


class RandomRun:
    def __init__(self, program, tool, work, seed, count, check_every=25):
        self.work = work
        self.seed = seed
        self.count = count
        self.check_every = check_every
        self.p = Program(program, os.path.join(work, "session"), artifacts=os.path.join(work, "shots"))
        self.tool = tool
        self.seen_complaints = set()
        self.dialogs_closed = 0
        self.popups_closed = 0

    def log(self, text):
        print(text, flush=True)

    def prepare(self):
        """Footage open, a segment with a key mask over the disc, processing
        started."""
        avi = write_footage(self.tool, self.work, FOOTAGE_FRAMES)
        self.p.start()
        self.p.new_project(avi)
        self.p.choose("Segment", "New Segment")
        self.p.choose("Display", "Edit Mask")
        # The footage's picture at 100% in the middle of the view area: a
        # stroke there reaches the key mask whatever the view draws.
        image = self.p.screen.screenshot()
        frame = self.p.frame(image)
        cx, cy = layout.view_image_area(frame).centre()
        points = [(cx + 20 * np.cos(a), cy + 20 * np.sin(a)) for a in np.linspace(0, 2 * np.pi, 40)]
        self.p.screen.drag(points)
        self.p.choose("Time", "Last Frame")
        self.p.choose("Segment", "Set Front End")
        self.p.choose("Segment", "Process")
        self.p.shot("processing")
        self.seen_complaints = set(self.p.complaint_kinds())

    def close_extras(self, event_index):
        """Closes what the last event opened: menus and drop-down lists
        with Escape, dialogs with Escape and, if that fails, the close
        message. A dialog that stays (a progress window of its own) is
        given time to go."""
        screen = self.p.screen
        for attempt in range(6):
            popups = [w for w in screen.popups() if w.width > 20 and w.height > 10]
            dialogs = self.p.dialogs()
            if not popups and not dialogs:
                return
            if attempt == 0 and dialogs:
                time.sleep(0.3)
                self.p.shot("event-%d-dialog" % event_index)
            if popups:
                screen.key("Escape")
                self.popups_closed += 1
                time.sleep(0.2)
                continue
            dialog = dialogs[-1]
            screen.focus(dialog)
            screen.key("Escape")
            time.sleep(0.4)
            if dialog.id in [d.id for d in self.p.dialogs()]:
                screen.send_delete(dialog)
                time.sleep(0.6)
            if dialog.id not in [d.id for d in self.p.dialogs()]:
                self.dialogs_closed += 1
        stuck = self.p.dialogs()
        if stuck:
            # A window the program closes itself (a progress window).
            try:
                wait_until(lambda: not self.p.dialogs(), 30, interval=0.5)
            except DriverError:
                image, path = self.p.shot("event-%d-stuck" % event_index)
                raise DriverError("after event %d the window(s) %s could not be closed; see %s"
                                  % (event_index, [d.title for d in stuck], path))

    def ended(self, event_index):
        reports = self.p.crash_reports()
        first = ""
        if reports:
            with open(reports[0], errors="replace") as f:
                first = ": " + f.readline().strip()
        raise DriverError("the program ended during the run, after event %d %s (status %s)%s"
                          % (event_index, self.events[event_index] if event_index >= 0 else "",
                             self.p.process.poll(), first))

    def answers(self, event_index):
        if not self.p.alive():
            self.ended(event_index)
        main = self.p.main_window(timeout=5)
        if not self.p.screen.ping(main, timeout=10):
            image, path = self.p.shot("event-%d-no-answer" % event_index)
            raise DriverError("the program did not answer within 10s after event %d; see %s"
                              % (event_index, path))
        if self.p.title() is None:
            raise DriverError("the main window has no title after event %d" % event_index)
        reports = self.p.crash_reports()
        if reports:
            raise DriverError("a crash report was written by event %d: %s" % (event_index, reports[0]))
        # Complaints are judged at the end; the log tells when each kind
        # first appeared.
        for kind in self.p.complaint_kinds():
            if kind not in self.seen_complaints:
                self.seen_complaints.add(kind)
                self.log("by event %d the program first wrote: %s" % (event_index, kind))

    def send(self, event, main):
        screen = self.p.screen
        kind, arg = event
        ox, oy = main.x, main.y
        if kind in ("click", "right", "double"):
            x, y = arg
            screen.click(ox + x, oy + y, button=3 if kind == "right" else 1, count=2 if kind == "double" else 1,
                         pause=0.01)
        elif kind in ("drag", "right-drag"):
            (x0, y0), (x1, y1) = arg
            screen.drag([(ox + x0, oy + y0), (ox + x1, oy + y1)], button=3 if kind == "right-drag" else 1,
                        step_pause=0.004, step=24, hold=0.01)
        elif kind == "wheel":
            (x, y), clicks = arg
            screen.wheel(ox + x, oy + y, clicks)
        else:
            screen.focus(main)
            screen.key(arg, pause=0.01)

    def run(self):
        self.prepare()
        main = self.p.main_window()
        events = self.events = make_events(self.seed, self.count, main.width, main.height)
        self.log("seed %d: %d events over the main window %dx%d" % (self.seed, len(events), main.width,
                                                                      main.height))
        start = time.monotonic()
        for i, event in enumerate(events):
            if not self.p.alive():
                self.ended(i - 1)
            main = self.p.main_window(timeout=10)
            if self.check_every == 1:
                self.log("event %d: %s %s" % (i, event[0], event[1]))
            self.send(event, main)
            time.sleep(0.02)
            self.close_extras(i)
            if (i + 1) % self.check_every == 0:
                self.answers(i)
            if (i + 1) % 500 == 0:
                self.log("%d events, %.0fs" % (i + 1, time.monotonic() - start))
        self.close_extras(len(events))
        self.answers(len(events))
        self.p.shot("end")
        self.log("%d events in %.0fs; %d dialogs and %d menus closed by the run"
                 % (len(events), time.monotonic() - start, self.dialogs_closed, self.popups_closed))
        self.quit()
        self.p.check_clean()

    def quit(self):
        """The close button ends the program. The save question is
        answered No (Alt+N); the question about running processing OK (its
        default button, Return)."""
        self.p.close_main_window()
        end = time.monotonic() + 90
        while self.p.alive() and time.monotonic() < end:
            dialogs = self.p.dialogs()
            if dialogs:
                dialog = dialogs[-1]
                time.sleep(0.5)
                self.p.shot("closing-question")
                self.p.screen.focus(dialog)
                self.p.screen.key("alt+n")
                time.sleep(1)
                if self.p.alive() and dialog.id in [d.id for d in self.p.dialogs()]:
                    self.p.screen.focus(dialog)
                    self.p.screen.key("Return")
                    time.sleep(1)
            time.sleep(0.5)
        status = self.p.wait_exit(30)
        if status != 0:
            raise DriverError("the program ended with status %d" % status)

def random_run(args, work):
    run = RandomRun(args.program, args.footage_tool, work, args.seed, args.events, args.check_every)
    try:
        run.run()
    except DriverError as e:
        print("FAILED (seed %d): %s" % (args.seed, e), flush=True)
        print("screenshots and the program's output: %s" % work, flush=True)
        return 1
    finally:
        run.p.stop()
    print("passed (seed %d)" % args.seed, flush=True)
    return 0


def options(parser):
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--events", type=int, default=1000)
    parser.add_argument("--check-every", type=int, default=25,
                        help="events between two checks that the program answers (1 finds the event that did harm)")


if __name__ == "__main__":
    test_main(__doc__, "random", random_run, options=options)
