"""A display of its own and synthesised input, seen only from outside the
program: an Xvfb server of a fixed size, the top-level windows on it, XTest
pointer and key events, screenshots, and the WM_DELETE_WINDOW message a
window manager would send. There is no window manager: a window gets the
keyboard focus when the driver gives it (as a click-to-focus manager
would), and nothing has a close button.
"""

import os
import re
import subprocess
import tempfile
import time
import io
import select
import urllib.parse

import numpy as np
from PIL import Image
from Xlib import X, XK, Xatom, display as xdisplay, error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 1024


class DriverError(AssertionError):
    """A step of a test that could not be done or did not show what it
    should; the message says what was seen."""


def wait_until(check, timeout, interval=0.1, what=None):
    """Calls `check` until it answers something true and returns that;
    raises DriverError naming `what` when `timeout` seconds pass first."""
    end = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() >= end:
            raise DriverError("timed out after %gs waiting for %s" % (timeout, what or "a condition"))
        time.sleep(interval)


class Window:
    """A top-level window as the X server sees it at one moment."""

    def __init__(self, wid, title, x, y, width, height, override_redirect):
        self.id = wid
        self.title = title
        self.x, self.y, self.width, self.height = x, y, width, height
        self.override_redirect = override_redirect

    @property
    def rect(self):
        return (self.x, self.y, self.x + self.width, self.y + self.height)

    def centre(self):
        return (self.x + self.width // 2, self.y + self.height // 2)

    def contains(self, x, y):
        return self.x <= x < self.x + self.width and self.y <= y < self.y + self.height

    def __repr__(self):
        return "Window(%#x %r %dx%d+%d+%d%s)" % (self.id, self.title, self.width, self.height, self.x, self.y,
                                                 " popup" if self.override_redirect else "")


class XServer:
    """An Xvfb server on a free display number; stopped by stop()."""

    def __init__(self, width=SCREEN_WIDTH, height=SCREEN_HEIGHT, log_path=None):
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        log = open(log_path or os.devnull, "wb")
        self._process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset", "+extension", "XTEST"],
            pass_fds=(write_end,), stdout=log, stderr=log)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        log.close()
        if not number.strip():
            self._process.kill()
            raise DriverError("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def stop(self):
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()


class Screen:
    """Windows, input and screenshots on one display."""

    def __init__(self, name):
        self.name = name
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        self.width = self.d.screen().width_in_pixels
        self.height = self.d.screen().height_in_pixels
        self._atoms = {}
        self._pointer = (0, 0)
        self._held_buttons = set()
        self._held_keys = set()
        self._watching_root = False
        self._ping_serial = 0
        self._helper = None
        # A window destroyed between listing and asking is not an error.
        self.d.set_error_handler(lambda *args: None)

    def close(self):
        self.release_all()
        self.d.close()

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    # Windows ------------------------------------------------------------

    def _title(self, w):
        try:
            prop = w.get_full_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"))
            if prop and prop.value:
                value = prop.value
                return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
            name = w.get_wm_name()
            if isinstance(name, bytes):
                name = name.decode("latin-1")
            return name or ""
        except (xerror.XError, xerror.BadWindow):
            return ""

    def windows(self):
        """The top-level windows shown now, bottom first; popups (menus,
        tooltips, drop-down lists) are override-redirect windows."""
        shown = []
        try:
            children = self.root.query_tree().children
        except xerror.XError:
            return shown
        for w in children:
            try:
                attributes = w.get_attributes()
                if attributes is None or attributes.map_state != X.IsViewable:
                    continue
                g = w.get_geometry()
            except (xerror.XError, xerror.BadWindow, AttributeError):
                continue
            if g is None or g.width <= 2 or g.height <= 2:
                continue
            shown.append(Window(w.id, self._title(w), g.x, g.y, g.width, g.height,
                                bool(attributes.override_redirect)))
        return shown

    def find(self, title):
        """The topmost shown window whose title matches the regular
        expression `title` in full, or None."""
        pattern = re.compile(title)
        for w in reversed(self.windows()):
            if not w.override_redirect and pattern.fullmatch(w.title):
                return w
        return None

    def wait_window(self, title, timeout=30):
        try:
            return wait_until(lambda: self.find(title), timeout)
        except DriverError:
            raise DriverError("no window titled %r is shown after %gs (shown: %s)"
                              % (title, timeout, self.titles()))

    def wait_gone(self, title, timeout=30):
        wait_until(lambda: self.find(title) is None, timeout, what="the window %r to close" % title)

    def popups(self):
        return [w for w in self.windows() if w.override_redirect]

    def titles(self):
        return [w.title for w in self.windows() if not w.override_redirect]

    def window_at(self, x, y):
        for w in reversed(self.windows()):
            if w.contains(x, y):
                return w
        return None

    def focus(self, window):
        """Gives `window` the keyboard focus, as a window manager does when
        the user clicks it or when it opens."""
        self.d.set_input_focus(window.id, X.RevertToPointerRoot, X.CurrentTime)
        self.d.sync()

    def send_delete(self, window):
        """The close button's message: WM_PROTOCOLS / WM_DELETE_WINDOW."""
        w = self.d.create_resource_object("window", window.id)
        message = xevent.ClientMessage(
            window=w, client_type=self.atom("WM_PROTOCOLS"),
            data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        w.send_event(message, event_mask=0)
        self.d.sync()

    def ping(self, window, timeout=10):
        """Whether the program's event loop answers: the _NET_WM_PING a
        window manager sends to find hung clients comes back to the root
        window within `timeout` seconds. A window that does not take part
        in the protocol answers through its title and geometry instead."""
        w = self.d.create_resource_object("window", window.id)
        ping = self.atom("_NET_WM_PING")
        try:
            protocols = w.get_wm_protocols() or []
        except (xerror.XError, xerror.BadWindow):
            return False
        if ping not in protocols:
            return bool(self._title(w) or w.get_geometry())
        if not self._watching_root:
            self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
            self._watching_root = True
        self._ping_serial += 1
        stamp = self._ping_serial
        message = xevent.ClientMessage(window=w, client_type=self.atom("WM_PROTOCOLS"),
                                       data=(32, [ping, stamp, window.id, 0, 0]))
        w.send_event(message, event_mask=0)
        self.d.flush()
        end = time.monotonic() + timeout
        while True:
            while self.d.pending_events():
                e = self.d.next_event()
                if (e.type == X.ClientMessage and e.client_type == self.atom("WM_PROTOCOLS")
                        and e.data[1][0] == ping and e.data[1][1] == stamp):
                    return True
            remaining = end - time.monotonic()
            if remaining <= 0:
                return False
            select.select([self.d], [], [], min(remaining, 0.2))

    # Pointer ----------------------------------------------------------------

    def move(self, x, y):
        x = max(0, min(self.width - 1, int(round(x))))
        y = max(0, min(self.height - 1, int(round(y))))
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()
        self._pointer = (x, y)

    def press(self, button=1):
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()
        self._held_buttons.add(button)

    def release(self, button=1):
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()
        self._held_buttons.discard(button)

    def click(self, x, y, button=1, count=1, focus=True, pause=0.05):
        """Clicks at a screen point; with `focus`, the top-level window under
        it gets the keyboard first (click-to-focus)."""
        if focus:
            w = self.window_at(x, y)
            if w is not None and not w.override_redirect:
                self.focus(w)
        self.move(x, y)
        time.sleep(pause)
        for _ in range(count):
            self.press(button)
            self.release(button)
            time.sleep(0.02)

    def drag(self, points, button=1, step_pause=0.02, focus=True, step=4, hold=0.05):
        """Presses at the first point, moves through the others in steps of
        at most `step` pixels and releases at the last."""
        x0, y0 = points[0]
        if focus:
            w = self.window_at(x0, y0)
            if w is not None and not w.override_redirect:
                self.focus(w)
        self.move(x0, y0)
        time.sleep(hold)
        self.press(button)
        time.sleep(hold)
        px, py = x0, y0
        for (x, y) in points[1:]:
            steps = max(1, int(max(abs(x - px), abs(y - py)) // step))
            for s in range(1, steps + 1):
                self.move(px + (x - px) * s / steps, py + (y - py) * s / steps)
                time.sleep(step_pause)
            px, py = x, y
        time.sleep(hold)
        self.release(button)

    def wheel(self, x, y, clicks):
        """Turns the wheel at a point: positive clicks away from the user
        (up, button 4), negative towards (down, button 5)."""
        self.move(x, y)
        button = 4 if clicks > 0 else 5
        for _ in range(abs(clicks)):
            self.press(button)
            self.release(button)
            time.sleep(0.02)

    # Keyboard -----------------------------------------------------------------

    _MODIFIERS = {"ctrl": "Control_L", "control": "Control_L", "shift": "Shift_L", "alt": "Alt_L",
                  "super": "Super_L"}
    _NAMES = {"enter": "Return", "esc": "Escape", "del": "Delete", "pgup": "Prior", "pgdn": "Next",
              "pageup": "Prior", "pagedown": "Next", "plus": "plus", "minus": "minus", "space": "space",
              "kp_add": "KP_Add", "kp_subtract": "KP_Subtract", "kp_0": "KP_0"}

    def _keycode(self, keysym):
        codes = list(self.d.keysym_to_keycodes(keysym))
        if not codes:
            raise DriverError("no key gives keysym %#x" % keysym)
        return codes

    def _keysym(self, name):
        name = self._NAMES.get(name.lower(), name)
        if len(name) == 1:
            return ord(name)
        keysym = XK.string_to_keysym(name)
        if keysym == 0:
            raise DriverError("unknown key %r" % name)
        return keysym

    def key_down(self, code):
        xtest.fake_input(self.d, X.KeyPress, code)
        self.d.sync()
        self._held_keys.add(code)

    def key_up(self, code):
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()
        self._held_keys.discard(code)

    def key(self, combination, pause=0.03):
        """Presses a combination such as "ctrl+shift+n", "Return", "alt+f"."""
        parts = combination.split("+") if combination != "+" else ["+"]
        if combination.endswith("++"):
            parts = combination[:-2].split("+") + ["plus"]
        modifiers = [self._keycode(XK.string_to_keysym(self._MODIFIERS[p.lower()]))[0][0] for p in parts[:-1]]
        keysym = self._keysym(parts[-1])
        code, index = self._keycode(keysym)[0]
        if len(parts[-1]) == 1 and parts[-1].isalpha():
            # A letter: its lower-case key; shift only when asked for.
            code, index = self._keycode(ord(parts[-1].lower()))[0]
        shift = []
        if index == 1 and "Shift_L" not in [self._MODIFIERS.get(p.lower()) for p in parts[:-1]]:
            shift = [self._keycode(XK.XK_Shift_L)[0][0]]
        held = modifiers + shift
        for m in held:
            self.key_down(m)
        self.key_down(code)
        time.sleep(pause)
        self.key_up(code)
        for m in reversed(held):
            self.key_up(m)
        time.sleep(pause)

    def type(self, text, pause=0.02):
        """Types printable ASCII text key by key."""
        shift_code = self._keycode(XK.XK_Shift_L)[0][0]
        for ch in text:
            keysym = ord(ch) if ch != "\n" else XK.XK_Return
            code, index = self._keycode(keysym)[0]
            if index == 1:
                self.key_down(shift_code)
            self.key_down(code)
            self.key_up(code)
            if index == 1:
                self.key_up(shift_code)
            time.sleep(pause)

    def release_all(self):
        """Lets go of every button and key still held (after a failure)."""
        for b in list(self._held_buttons):
            self.release(b)
        for k in list(self._held_keys):
            self.key_up(k)

    # Selections and dropped files ----------------------------------------------

    def _helper_window(self):
        """An unmapped window of the driver's own: it asks for selections
        and is the source of the files it drops."""
        if self._helper is None:
            self._helper = self.root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent,
                                                   event_mask=X.PropertyChangeMask)
            self.d.sync()
        return self._helper

    def _wait_event(self, wanted, timeout, what, handle=None):
        """The next event `wanted` answers true for; events before it go to
        `handle` (when given) and are dropped."""
        end = time.monotonic() + timeout
        while True:
            while self.d.pending_events():
                e = self.d.next_event()
                if wanted(e):
                    return e
                if handle:
                    handle(e)
            remaining = end - time.monotonic()
            if remaining <= 0:
                raise DriverError("timed out after %gs waiting for %s" % (timeout, what))
            select.select([self.d], [], [], min(remaining, 0.1))

    def _server_time(self):
        """A time stamp of the server's clock (selections and drags need
        one): that of a property change on the helper window."""
        w = self._helper_window()
        w.change_property(self.atom("TAVELO_DRIVER_TIME"), Xatom.STRING, 8, b"")
        self.d.flush()
        return self._wait_event(lambda e: e.type == X.PropertyNotify and e.window.id == w.id, 5,
                                "a time stamp").time

    def selection_text(self, selection="PRIMARY", timeout=5):
        """The text the owner of a selection gives for it, or None when no
        client owns it."""
        w = self._helper_window()
        prop = self.atom("TAVELO_DRIVER_SELECTION")
        w.convert_selection(self.atom(selection), self.atom("UTF8_STRING"), prop, X.CurrentTime)
        self.d.flush()
        e = self._wait_event(lambda e: e.type == X.SelectionNotify and e.requestor.id == w.id, timeout,
                             "the %s selection" % selection)
        if e.property == X.NONE:
            return None
        value = w.get_full_property(prop, X.AnyPropertyType)
        w.delete_property(prop)
        if value is None:
            return None
        data = value.value
        return data.decode("utf-8", "replace") if isinstance(data, bytes) else str(data)

    def drop_files(self, x, y, paths, timeout=10):
        """Drops files at a screen point as a file manager does at the end
        of a drag: the XDND protocol with the files as a text/uri-list.
        Answers once the window under the point has taken the list; it may
        still be handling the drop then (and tells that it has finished
        later, to a window nobody listens to)."""
        target = self.window_at(x, y)
        if target is None:
            raise DriverError("no window at %d,%d to drop files on" % (x, y))
        window = self.d.create_resource_object("window", target.id)
        aware = window.get_full_property(self.atom("XdndAware"), X.AnyPropertyType)
        if not aware or not aware.value:
            raise DriverError("the window %r takes no dropped files" % target)
        version = min(5, aware.value[0])
        source = self._helper_window()
        stamp = self._server_time()
        uri_list = self.atom("text/uri-list")
        selection = self.atom("XdndSelection")
        body = "".join("file://%s\r\n" % urllib.parse.quote(os.path.abspath(p)) for p in paths).encode()
        source.set_selection_owner(selection, stamp)

        def send(name, data):
            message = xevent.ClientMessage(window=window, client_type=self.atom(name), data=(32, data))
            window.send_event(message, event_mask=0)
            self.d.flush()

        def is_message(e, name):
            return e.type == X.ClientMessage and e.client_type == self.atom(name)

        send("XdndEnter", [source.id, version << 24, uri_list, 0, 0])
        send("XdndPosition", [source.id, 0, (x << 16) | y, stamp, self.atom("XdndActionCopy")])
        status = self._wait_event(lambda e: is_message(e, "XdndStatus"), timeout, "the drop target's answer")
        if not status.data[1][1] & 1:
            send("XdndLeave", [source.id, 0, 0, 0, 0])
            raise DriverError("the window %r refuses the files %s" % (target, paths))
        send("XdndDrop", [source.id, 0, stamp, 0, 0])

        def answer(request):
            if request.type != X.SelectionRequest or request.selection != selection:
                return False
            prop = request.property
            if request.target == uri_list:
                request.requestor.change_property(prop, uri_list, 8, body)
            elif request.target == self.atom("TARGETS"):
                request.requestor.change_property(prop, Xatom.ATOM, 32, [self.atom("TARGETS"), uri_list])
            else:
                prop = X.NONE
            notify = xevent.SelectionNotify(time=request.time, requestor=request.requestor,
                                            selection=request.selection, target=request.target, property=prop)
            request.requestor.send_event(notify, event_mask=0)
            self.d.flush()
            return request.target == uri_list

        self._wait_event(answer, timeout, "the drop target to ask for the files")

    # Screenshots ----------------------------------------------------------------

    def screenshot(self, path=None):
        """The whole screen as an RGB array (height x width x 3), taken with
        ImageMagick's import, which also captures menus; written to `path`
        as PNG when given."""
        env = dict(os.environ, DISPLAY=self.name)
        png = subprocess.run(["import", "-window", "root", "-depth", "8", "png:-"], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True, timeout=60).stdout
        image = Image.open(io.BytesIO(png)).convert("RGB")
        if path:
            image.save(path)
        return np.asarray(image)

    def grab(self, rect=None):
        """A region (left, top, right, bottom) straight from the X server: fast
        and enough for windows of the screen's own depth (not menus)."""
        left, top, right, bottom = rect or (0, 0, self.width, self.height)
        reply = self.root.get_image(left, top, right - left, bottom - top, X.ZPixmap, 0xFFFFFFFF)
        data = np.frombuffer(reply.data, dtype=np.uint8).reshape(bottom - top, right - left, 4)
        return data[:, :, [2, 1, 0]].copy()


def save_image(array, path):
    Image.fromarray(np.asarray(array, dtype=np.uint8)).save(path)


def temp_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)
