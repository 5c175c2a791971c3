"""Tavelo started as a new user starts it, on a display of its own, and
the steps a user takes in it: menus, the window system's file chooser,
dialogs, closing. Everything goes through synthesised X input and
screenshots; nothing reaches into the process.
"""

import glob
import os
import re
import shutil
import signal
import subprocess
import time

import numpy as np

from . import layout
from .xsession import DriverError, Screen, XServer, save_image, wait_until

# Lines of the diagnostic stream that a normal session never writes: the
# toolkit's criticals and warnings, failed toolkit checks, the toolkit's
# debug log, thread errors and sanitizer reports.
COMPLAINT_PATTERNS = [
    re.compile(r"\b(Gtk|Gdk|GLib|GLib-GObject|GLib-GIO|GdkPixbuf|Pango|cairo)-(CRITICAL|WARNING|ERROR)\b"),
    re.compile(r"toolkit check failed"),
    re.compile(r"\bDebug: "),
    re.compile(r"assert(ion)?\b.*\bfailed", re.IGNORECASE),
    re.compile(r"\bthread error: "),
    # A sanitizer build's findings.
    re.compile(r"ERROR: (Address|Leak|Memory)Sanitizer|WARNING: ThreadSanitizer|: runtime error: "),
]

MAIN_TITLE = r"(.* - )?Tavelo"


def complaints(text):
    """The lines of `text` that a normal session must not write."""
    return [line for line in text.splitlines() if any(p.search(line) for p in COMPLAINT_PATTERNS)]


class Program:
    """One run of the program in a temporary home of its own.

    The home holds the settings, cache and state folders (XDG_CONFIG_HOME,
    XDG_CACHE_HOME, XDG_STATE_HOME), HOME itself and the files a test makes;
    nothing outside it is written. Use as a context manager, or call
    start() and stop()."""

    def __init__(self, executable, work, env=None, artifacts=None, log=print):
        self.executable = executable
        self.work = work
        self.home = os.path.join(work, "home")
        self.artifacts = artifacts or os.path.join(work, "shots")
        self.log = log
        self.extra_env = env or {}
        self.server = None
        self.screen = None
        self.process = None
        self.stderr_path = os.path.join(work, "stderr.txt")
        self.stdout_path = os.path.join(work, "stdout.txt")
        self._shots = 0

    # Life -----------------------------------------------------------------

    def environment(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "WAYLAND", "GTK_", "GDK_", "TAVELO_"))}
        for name in ("config", "cache", "state", "data", "runtime"):
            os.makedirs(os.path.join(self.home, name), exist_ok=True)
        os.chmod(os.path.join(self.home, "runtime"), 0o700)
        # The toolkit's own settings for pictures that do not change by
        # themselves: no blinking text cursor, no animations.
        gtk = os.path.join(self.home, "config", "gtk-3.0")
        os.makedirs(gtk, exist_ok=True)
        with open(os.path.join(gtk, "settings.ini"), "w") as f:
            f.write("[Settings]\ngtk-cursor-blink=false\ngtk-enable-animations=false\n")
        env.update({
            "DISPLAY": self.server.name,
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, "config"),
            "XDG_CACHE_HOME": os.path.join(self.home, "cache"),
            "XDG_STATE_HOME": os.path.join(self.home, "state"),
            "XDG_DATA_HOME": os.path.join(self.home, "data"),
            "XDG_RUNTIME_DIR": os.path.join(self.home, "runtime"),
            "GTK_THEME": "Adwaita",
            "GDK_SCALE": "1",
            "GDK_DPI_SCALE": "1",
            "NO_AT_BRIDGE": "1",
            "GSETTINGS_BACKEND": "memory",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })
        env.update(self.extra_env)
        return env

    def start(self, server=None):
        """Starts a display (unless one is given) and the program, and waits
        for its main window."""
        os.makedirs(self.work, exist_ok=True)
        os.makedirs(self.artifacts, exist_ok=True)
        self.server = server or XServer(log_path=os.path.join(self.work, "xvfb.txt"))
        self.screen = Screen(self.server.name)
        self.launch()
        return self

    def launch(self):
        """Starts the program (again) on the display and waits for its main
        window."""
        with open(self.stderr_path, "ab") as err, open(self.stdout_path, "ab") as out:
            self.process = subprocess.Popen([self.executable], env=self.environment(), cwd=self.home,
                                            stdout=out, stderr=err, start_new_session=True)
        self.main_id = None
        self.main_id = self.screen.wait_window(MAIN_TITLE, 60).id

    def stop(self):
        """Ends the program (killed if still running) and the display."""
        if self.process is not None and self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        if self.screen is not None:
            try:
                self.screen.close()
            except Exception:
                pass
            self.screen = None
        if self.server is not None:
            self.server.stop()
            self.server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        if exc[0] is not None and self.screen is not None:
            try:
                self.shot("failure")
            except Exception:
                pass
        self.stop()
        return False

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=60):
        """The exit status once the program has ended."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise DriverError("the program did not end within %ds" % timeout)

    # What it wrote ----------------------------------------------------------

    def stderr(self):
        """What the program wrote to its diagnostic stream so far."""
        if not os.path.exists(self.stderr_path):
            return ""
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def complaints(self):
        return complaints(self.stderr())

    def complaint_kinds(self):
        """The complaints, each kind once (time stamps and process ids left
        out), with how often it was written, in order of first appearance."""
        kinds = {}
        for line in self.complaints():
            kind = re.sub(r"^\d\d:\d\d:\d\d: ", "", line.strip())
            kind = re.sub(r"^\(\w+:\d+\): ", "", kind)
            kind = re.sub(r"\*\*: [\d:.]+: ", "**: ", kind)
            kinds[kind] = kinds.get(kind, 0) + 1
        return kinds

    def crash_reports(self):
        return sorted(glob.glob(os.path.join(self.home, "state", "Norvane", "Tavelo", "crash-*.txt")))

    def check_clean(self):
        """Fails on toolkit complaints on the diagnostic stream and on crash
        reports."""
        faults = []
        reports = self.crash_reports()
        if reports:
            faults.append("the program wrote a crash report: %s" % reports[0])
        kinds = self.complaint_kinds()
        if kinds:
            faults.append("the program wrote %d toolkit complaint(s): %s" % (
                sum(kinds.values()), "; ".join("%s (x%d)" % (k, n) for k, n in list(kinds.items())[:6])))
        if faults:
            raise DriverError("; ".join(faults))

    # Screens ------------------------------------------------------------------

    def keep(self, picture, name):
        """A picture (a part of a screenshot) kept among the artifacts as
        NAME.png; answers its path."""
        path = os.path.join(self.artifacts, name + ".png")
        save_image(picture, path)
        return path

    def shot(self, name):
        """A screenshot kept among the artifacts under a numbered name;
        answers (array, path)."""
        self._shots += 1
        path = os.path.join(self.artifacts, "%02d-%s.png" % (self._shots, name))
        image = self.screen.screenshot(path)
        self.log("screenshot %s" % path)
        return image, path

    def main_window(self, timeout=30):
        """The program's main window as shown now (message boxes bear the
        program's name too, so it is told by its id)."""
        def shown():
            for w in self.screen.windows():
                if w.id == self.main_id:
                    return w
            return None
        return wait_until(shown, timeout, what="the main window")

    def title(self):
        for w in self.screen.windows():
            if w.id == self.main_id:
                return w.title
        return None

    def wait_title(self, title, timeout=30):
        return wait_until(lambda: self.title() == title, timeout,
                          what="the title %r (it reads %r)" % (title, self.title()))

    def frame(self, image=None):
        """The main frame's areas found on a screenshot (layout.Frame); without
        a screenshot given, on one taken once the frame shows its tool strip
        and its bottom bar (not while it is being laid out or covered)."""
        w = self.main_window()
        if image is not None:
            return layout.find_frame(image, w)

        def laid_out():
            frame = layout.find_frame(self.screen.screenshot(), w)
            return frame if "tools" in frame.headers and "timeline" in frame.headers else None
        try:
            return wait_until(laid_out, 10, interval=0.3)
        except DriverError:
            return layout.find_frame(self.screen.screenshot(), w)

    # Menus --------------------------------------------------------------------

    def open_menu(self, title, by="click"):
        """Opens a menu of the menu bar, by clicking its title or by its
        mnemonic (Alt and the underlined letter); answers the popup window."""
        w = self.main_window()
        before = {p.id for p in self.screen.popups()}
        if by == "click":
            x, y = wait_until(lambda: layout.menu_title_position(self.screen.screenshot(), w, title), 20,
                              what="the menu bar's %d titles" % len(layout.MENU_TITLES))
            self.screen.click(x, y)
        else:
            self.screen.focus(w)
            self.screen.key("alt+" + layout.mnemonic(title))
        return self._wait_popup(before, "the %s menu" % title)

    def _wait_popup(self, before, what):
        def found():
            # The largest new popup: a tooltip may come up beside a menu.
            fresh = [p for p in self.screen.popups() if p.id not in before and p.width > 40 and p.height > 20]
            return max(fresh, key=lambda p: p.width * p.height) if fresh else None
        popup = wait_until(found, 10, what=what)
        time.sleep(0.3)  # the menu's first paint
        return popup

    def choose(self, title, item, by="click"):
        """Chooses a menu item, e.g. choose("File", "New Project..."); items of
        submenus as "Preferences/Rendering...". Fails when the item is
        disabled (drawn greyed)."""
        popup = self.open_menu(title, by=by)
        opened = [popup.id]
        path = item.split("/")
        menu = layout.MENUS[title]
        for depth, name in enumerate(path):
            image = self.screen.screenshot()
            entry = layout.locate_menu_item(image, popup, menu, name)
            if not entry.enabled:
                self.screen.key("Escape")
                self.screen.key("Escape")
                raise DriverError("the menu item %s > %s is disabled" % (title, item))
            if depth + 1 < len(path):
                before = {p.id for p in self.screen.popups()}
                # A submenu opens when the pointer rests on its item.
                self.screen.move(entry.x - 10, entry.y)
                self.screen.move(entry.x, entry.y)
                popup = self._wait_popup(before, "the submenu %s" % name)
                opened.append(popup.id)
                menu = layout.submenu(menu, name)
            else:
                self.screen.click(entry.x, entry.y, focus=False)
        self._wait_closed(opened)

    def _wait_closed(self, popups):
        """Waits until the menus `popups` (ids) are no longer shown; other
        popups, such as tooltips, may stay."""
        wait_until(lambda: not [p for p in self.screen.popups() if p.id in popups], 10,
                   what="the menu to close")

    def menu_item_enabled(self, title, item):
        popup = self.open_menu(title)
        image = self.screen.screenshot()
        entry = layout.locate_menu_item(image, popup, layout.MENUS[title], item)
        self.screen.key("Escape")
        self._wait_closed([popup.id])
        return entry.enabled

    # Projects -----------------------------------------------------------------

    def new_project(self, footage):
        """File > New Project... of the footage at `footage`."""
        self.choose("File", "New Project...")
        self.answer_file_chooser("Open Footage", footage)
        self.wait_title("(Untitled) * - Tavelo")

    def save_and_reopen(self, path, title):
        """The project saved as `path` (the title then reads `title`),
        closed and opened again: nothing left to undo."""
        self.choose("File", "Save")
        self.answer_file_chooser("Save Project As", path)
        self.wait_title(title)
        self.choose("File", "Close Project")
        self.wait_title("Tavelo")
        self.choose("File", "Open...")
        self.answer_file_chooser("Open Project", path)
        self.wait_title(title)

    def go_to_frame(self, index):
        """Time > Go to Frame... answered with `index` (Return)."""
        self.choose("Time", "Go to Frame...")
        dialog = self.wait_dialog(what="the Go to Frame dialog")
        time.sleep(0.5)
        self.screen.focus(dialog)
        self.screen.key("ctrl+a")
        self.screen.type(str(index))
        self.screen.key("Return")
        wait_until(lambda: dialog.id not in [w.id for w in self.dialogs()], 10, what="the dialog to close")

    # Dialogs ------------------------------------------------------------------

    def answer_file_chooser(self, title, path, timeout=30, any_title=False):
        """Answers the window system's file chooser titled `title` with
        `path`: Ctrl+L, the path typed, Return; again until the dialog has
        closed (the program may take the focus back while the path is
        typed). With `any_title`, a dialog of another title is answered too
        once the time is up; answers the title of the dialog answered."""
        try:
            dialog = self.screen.wait_window(re.escape(title), timeout)
        except DriverError:
            others = self.dialogs()
            if not any_title or not others:
                raise DriverError("no window titled %r is shown (shown: %s)" % (title, self.screen.titles()))
            dialog = others[-1]
            title = dialog.title
        for attempt in range(5):
            time.sleep(0.5)
            self.screen.focus(dialog)
            self.screen.key("ctrl+l")
            self.screen.key("ctrl+a")
            self.screen.type(path)
            time.sleep(0.3)
            self.screen.key("Return")
            try:
                self.screen.wait_gone(re.escape(title), 5)
                return title
            except DriverError:
                dialog = self.screen.find(re.escape(title)) or dialog
        raise DriverError("the file chooser %r did not take the path %s" % (title, path))

    def dialogs(self):
        """The shown top-level windows other than the main window."""
        return [w for w in self.screen.windows() if not w.override_redirect and w.id != self.main_id]

    def wait_dialog(self, timeout=30, what="a dialog"):
        """A window other than the main window, once one is shown."""
        return wait_until(lambda: (self.dialogs() or [None])[-1], timeout, what=what)

    def answer_dialog(self, key="Return", timeout=30, what="a message box"):
        """Answers the dialog that opens next (a message box) with a key:
        Return for its default button, Escape for Cancel."""
        dialog = self.wait_dialog(timeout, what)
        time.sleep(0.5)
        self.screen.focus(dialog)
        self.screen.key(key)
        wait_until(lambda: dialog.id not in [w.id for w in self.dialogs()], 10,
                   what="%s to close" % what)
        return dialog

    def message_text(self, dialog, timeout=10):
        """The text of a message box as a user copies it: its label (the
        topmost text in the box) clicked three times, which selects it
        whole, and the primary selection read."""
        box = self.screen.screenshot()[dialog.y:dialog.y + dialog.height, dialog.x:dialog.x + dialog.width]
        rows, columns = np.nonzero(box.max(axis=2) < 110)
        if not len(rows):
            raise DriverError("the message box %r shows no text" % dialog)
        top = rows.min()
        left = columns[rows < top + 4].min()
        self.screen.click(dialog.x + left + 2, dialog.y + top + 4, count=3)
        return wait_until(lambda: self.screen.selection_text("PRIMARY"), timeout,
                          what="the message box's text to be selected")

    def choose_in_list(self, x, y, index):
        """Opens the drop-down list whose box is at (x, y) and picks its
        row `index` (counted from 0)."""
        before = {p.id for p in self.screen.popups()}
        self.screen.click(x, y)
        popup = self._wait_popup(before, "the drop-down list at %d,%d" % (x, y))
        image = self.screen.screenshot()
        rows = [row for group in layout.menu_rows(
            image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]) for row in group]
        if index >= len(rows):
            self.screen.key("Escape")
            raise DriverError("the drop-down list shows %d rows, not %d" % (len(rows), index + 1))
        top, bottom, _ = rows[index]
        self.screen.click(popup.x + popup.width // 2, popup.y + (top + bottom) // 2, focus=False)
        wait_until(lambda: popup.id not in [p.id for p in self.screen.popups()], 10,
                   what="the drop-down list to close")
        return len(rows)

    def press_in(self, title, key, timeout=30):
        """Gives the window titled `title` the focus and presses `key`."""
        w = self.screen.wait_window(title, timeout)
        self.screen.focus(w)
        time.sleep(0.2)
        self.screen.key(key)
        return w

    def recover(self):
        """After a failed step: a screenshot, then every dialog and menu
        closed, so that the steps that do not need the failed one can go
        on."""
        try:
            if self.alive():
                self.shot("after-failure")
                self.close_dialogs()
        except Exception as e:
            print("recovery failed: %s" % e, flush=True)

    def close_dialogs(self):
        """Closes every window but the main window and every popup (Escape,
        then the close message), as a user backing out of a failed step."""
        if self.screen is None or not self.alive():
            return
        for _ in range(3):
            if self.screen.popups():
                self.screen.key("Escape")
                time.sleep(0.3)
        for w in reversed(self.dialogs()):
            self.screen.focus(w)
            self.screen.key("Escape")
            time.sleep(0.5)
            if w.id in [d.id for d in self.dialogs()]:
                self.screen.send_delete(w)
                time.sleep(0.5)

    def close_main_window(self):
        """The main window's close button (WM_DELETE_WINDOW)."""
        self.screen.send_delete(self.main_window())

    def quit(self, timeout=30, on_question=None, fallback="Escape"):
        """Ends the program through the main window's close button. Each
        question it asks is answered No (Alt+N), after `on_question()` is
        told of it (it may raise), and with `fallback` where No leaves it
        open. Raises unless the program ends with status 0."""
        self.close_main_window()
        end = time.monotonic() + timeout
        while self.alive() and time.monotonic() < end:
            dialogs = self.dialogs()
            if dialogs:
                time.sleep(0.5)
                if on_question:
                    on_question()
                self.screen.focus(dialogs[-1])
                self.screen.key("alt+n")
                time.sleep(1)
                if self.alive() and dialogs[-1].id in [d.id for d in self.dialogs()]:
                    self.screen.focus(dialogs[-1])
                    self.screen.key(fallback)
                    time.sleep(1)
            time.sleep(0.3)
        status = self.wait_exit(30)
        if status != 0:
            raise DriverError("the program ended with status %s" % status)


def fresh_work(root, name):
    """An empty folder `name` under `root`."""
    path = os.path.join(root, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path
