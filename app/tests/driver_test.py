#!/usr/bin/python3
"""Tests of the driver that the program tests stand on: what it reads from
screenshots (menus, panels, pictures, check boxes, buttons), how it
judges the program's diagnostic stream, the seeded events of the random
run, the step record, and, on a display of its own, that its synthesised
input, window lookup, close message, ping, screenshots, dropped files and
selection reading reach a plain X client as a window manager's, a file
manager's and a user's would."""

import os
import select
import sys
import time
import unittest

import numpy as np
from Xlib import X, XK, Xatom, display as xdisplay
from Xlib.protocol import event as xevent

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver import images, layout  # noqa: E402
from driver.program import complaints  # noqa: E402
from driver.steps import Steps  # noqa: E402
from driver.xsession import DriverError, Screen, Window, XServer  # noqa: E402
import random_input_test  # noqa: E402

WHITE = (255, 255, 255)
TEXT = (40, 40, 40)
GREY_TEXT = (160, 160, 160)
LINE = (230, 230, 230)


def menu_picture(rows, width=200):
    """A menu as GTK draws it: white, a grey border, items 25 pixels high
    with a text stroke, separators as a light line; `rows` holds "-" for a
    separator, "x" for an item, "g" for a disabled (grey) one."""
    height = 6 + sum(9 if r == "-" else 25 for r in rows)
    image = np.full((height, width, 3), WHITE, dtype=np.uint8)
    image[0, :] = image[-1, :] = (200, 200, 200)
    image[:, 0] = image[:, -1] = (200, 200, 200)
    y = 3
    for r in rows:
        if r == "-":
            image[y + 4, 1:-1] = LINE
            y += 9
        else:
            image[y + 8:y + 17, 30:30 + 60] = TEXT if r == "x" else GREY_TEXT
            y += 25
    return image


class ReadingScreenshots(unittest.TestCase):
    def test_runs_bridge_gaps_shorter_than_the_minimum(self):
        flags = [0, 1, 1, 0, 1, 0, 0, 0, 1]
        self.assertEqual(layout.runs(flags), [(1, 3), (4, 5), (8, 9)])
        self.assertEqual(layout.runs(flags, min_gap=2), [(1, 5), (8, 9)])
        self.assertEqual(layout.runs([0, 0]), [])

    def test_menu_rows_are_grouped_between_separators_and_disabled_items_are_told(self):
        groups = layout.menu_rows(menu_picture(["x", "g", "-", "x", "-", "g", "x", "x"]))
        self.assertEqual([len(g) for g in groups], [2, 1, 3])
        self.assertEqual([enabled for _, _, enabled in groups[0]], [True, False])
        top, bottom, _ = groups[2][1]
        self.assertTrue(3 + 25 * 4 + 9 * 2 <= top < bottom <= 3 + 25 * 5 + 9 * 2)

    def test_a_menu_item_is_found_by_its_place_in_the_definition(self):
        menu = ["A", "B", "-", "C", "-", "D", "E"]
        picture = menu_picture(["x", "x", "-", "x", "-", "g", "x"])
        popup = Window(1, "", 100, 50, picture.shape[1], picture.shape[0], True)
        screen = np.zeros((400, 400, 3), dtype=np.uint8)
        screen[50:50 + picture.shape[0], 100:300] = picture
        entry = layout.locate_menu_item(screen, popup, menu, "E")
        self.assertTrue(entry.enabled)
        self.assertEqual(entry.x, 200)
        self.assertAlmostEqual(entry.y, 50 + 3 + 25 * 4 + 18 + 12, delta=3)
        self.assertFalse(layout.locate_menu_item(screen, popup, menu, "D").enabled)
        with self.assertRaises(DriverError):
            layout.locate_menu_item(screen, popup, menu, "Z")

    def test_a_menu_that_differs_from_its_definition_is_refused_unless_the_group_is_a_list(self):
        picture = menu_picture(["x", "-", "x", "x", "x", "-", "x"])
        popup = Window(1, "", 0, 0, picture.shape[1], picture.shape[0], True)
        with self.assertRaises(DriverError):
            layout.locate_menu_item(picture, popup, ["A", "-", "B", "-", "C"], "C")
        entry = layout.locate_menu_item(picture, popup, ["A", "-", "*", "-", "C"], "C")
        self.assertGreater(entry.y, 3 + 25 * 4)

    def test_panels_are_found_by_their_header_bars(self):
        image = np.full((720, 1024, 3), 240, dtype=np.uint8)
        header = layout.PANEL_HEADER
        image[25:44, 0:29] = header          # tools
        image[25:44, 824:1024] = header      # display
        image[104:123, 824:1024] = header    # time controls
        image[300:319, 824:1024] = header    # properties
        image[504:523, 0:1024] = header      # timeline
        image[30:38, 840:880] = WHITE        # a title on a header
        frame = layout.find_frame(image, Window(1, "Tavelo", 0, 0, 1024, 720, False))
        self.assertEqual(sorted(frame.panels), ["display", "properties", "time_controls", "timeline", "tools"])
        self.assertEqual(frame.panel("time_controls").top, 123)
        self.assertEqual(frame.panel("time_controls").bottom, 300)
        self.assertEqual(frame.panel("properties").bottom, 504)
        self.assertEqual((frame.view.left, frame.view.right), (30, 818))
        self.assertEqual(layout.view_image_area(frame).bottom, 500 - layout.DISPLAY_STRIP_HEIGHT)
        self.assertEqual(layout.background_colour_box(frame), (214, 488))
        image[300:319, 824:1024] = 240
        frame = layout.find_frame(image, Window(1, "Tavelo", 0, 0, 1024, 720, False))
        with self.assertRaises(DriverError):
            frame.panel("properties")

    def test_the_picture_in_a_view_is_what_differs_from_the_views_background(self):
        image = np.full((300, 400, 3), 64, dtype=np.uint8)
        image[100:150, 120:200] = np.random.RandomState(1).randint(0, 255, (50, 80, 3))
        box = layout.picture_box(image, layout.Rect(10, 10, 390, 290))
        self.assertEqual((box.left, box.top, box.right, box.bottom), (120, 100, 200, 150))
        self.assertIsNone(layout.picture_box(np.zeros((300, 400, 3), np.uint8), layout.Rect(10, 10, 390, 290)))

    def property_panel(self):
        """A Properties panel as the program draws it: rows of 18 pixels over
        a list 150 pixels high whose caption line (the shadow colour) runs
        down at x = 125, and the info pane below, with its top line and an
        info glyph with shadow-coloured pixels at its left."""
        image = np.full((250, 200, 3), (244, 244, 242), dtype=np.uint8)
        for y in range(17, 150, 18):
            image[y, :] = (248, 248, 247)
        image[:150, 125] = layout.BUTTON_SHADOW
        image[150, :] = layout.BUTTON_SHADOW
        image[160:170, 8:18] = layout.BUTTON_SHADOW
        image[162:168, 10:16] = (60, 60, 60)
        return image

    @staticmethod
    def draw_box(image, top, ticked, left=150, side=10):
        """A check box's sunken frame: shadow top and left, highlight bottom
        and right; a ticked one holds the check glyph on the highlight
        colour."""
        image[top, left:left + side] = layout.BUTTON_SHADOW
        image[top:top + side, left] = layout.BUTTON_SHADOW
        image[top + side, left:left + side + 1] = (248, 248, 247)
        image[top:top + side + 1, left + side] = (248, 248, 247)
        if ticked:
            image[top + 1:top + side, left + 1:left + side] = (248, 248, 247)
            image[top + 3:top + 7, left + 3:left + 7] = 0

    def test_check_boxes_right_of_the_caption_line_are_found_and_ticked_ones_told(self):
        image = self.property_panel()
        for top, ticked in ((22, False), (58, True), (94, False)):
            self.draw_box(image, top, ticked)
            # An expander square in the caption column is no check box.
            image[top:top + 11, 2:13] = 90
            image[top + 1:top + 10, 3:12] = 250
        image[112:122, 130:190] = layout.BUTTON_SHADOW  # a filled bar is no box
        self.draw_box(image, 144, False)  # cut by the list's end: not whole
        panel = layout.Rect(800, 300, 1000, 550)
        screen = np.zeros((1024, 1280, 3), dtype=np.uint8)
        screen[300:550, 800:1000] = image
        area, line = layout.property_list_area(screen, panel)
        # The list, with the info pane's top line that meets its caption line.
        self.assertEqual((area.top, area.bottom, line), (300, 451, 925))
        boxes = layout.property_check_boxes(screen, panel)
        self.assertEqual([(x, y) for x, y, _ in boxes], [(955, 327), (955, 363), (955, 399)])
        self.assertEqual([t for _, _, t in boxes], [False, True, False])

    def test_a_panel_without_a_property_list_shows_no_check_boxes(self):
        image = np.full((250, 200, 3), (244, 244, 242), dtype=np.uint8)
        image[10:25, 125] = layout.BUTTON_SHADOW  # one row's line only
        self.draw_box(image, 12, True)
        self.assertEqual(layout.property_list_area(image, layout.Rect(0, 0, 200, 250)), (None, None))
        self.assertEqual(layout.property_check_boxes(image, layout.Rect(0, 0, 200, 250)), [])

    def test_the_panel_headers_colour_is_made_from_the_shadow_colour(self):
        made = tuple((3 * c) // 4 for c in layout.BUTTON_SHADOW)
        self.assertTrue(all(abs(a - b) <= 1 for a, b in zip(made, layout.PANEL_HEADER)))

    def test_transport_glyphs_are_the_insides_of_bordered_buttons(self):
        def bar(glyph_of):
            image = np.full((60, 200, 3), 240, dtype=np.uint8)
            for i in range(7):
                left = 8 + 19 * i
                image[10:27, left:left + 21] = 100
                image[12:25, left + 2:left + 19] = 240
                glyph_of(image, left, i)
            return layout.transport_glyphs(image, layout.Rect(0, 0, 200, 60))

        squares = bar(lambda img, left, i: img.__setitem__((slice(15, 22), slice(left + 6, left + 15)), 0))
        self.assertEqual(len(squares), 7)
        self.assertTrue(all(np.array_equal(squares[0], g) for g in squares))
        distinct = bar(lambda img, left, i: img.__setitem__((slice(15, 22), slice(left + 4 + i, left + 6 + i)), 0))
        self.assertFalse(np.array_equal(distinct[0], distinct[3]))

    def test_masks_are_compared_by_intersection_over_union(self):
        a = np.zeros((10, 10), bool)
        b = np.zeros((10, 10), bool)
        a[0:4, 0:5] = True
        b[2:6, 0:5] = True
        self.assertAlmostEqual(images.iou(a, b), 10 / 30)
        self.assertEqual(images.iou(a, a), 1.0)
        self.assertEqual(images.iou(np.zeros((3, 3), bool), np.zeros((3, 3), bool)), 1.0)
        with self.assertRaises(ValueError):
            images.iou(a, np.zeros((3, 3), bool))

    def test_erosion_and_dilation_move_a_masks_edge_by_whole_pixels(self):
        m = np.zeros((11, 11), bool)
        m[3:8, 3:8] = True
        self.assertEqual(images.erode(m, 1).sum(), 9)
        self.assertEqual(images.dilate(m, 1).sum(), 25 + 4 * 5)

    def test_a_screenshot_passes_its_reference_within_the_tolerance(self):
        reference = np.full((100, 100, 3), 128, np.uint8)
        shot = reference.copy()
        shot[0:1, 0:50] = 140  # small change, under the tolerance
        share, ok, _ = images.compare_with_reference(shot, reference, tolerance=24, max_share=0.01)
        self.assertTrue(ok)
        self.assertEqual(share, 0.0)
        shot[10:30, 10:30] = 0  # a black patch of 4%
        share, ok, diff = images.compare_with_reference(shot, reference, tolerance=24, max_share=0.01)
        self.assertFalse(ok)
        self.assertAlmostEqual(share, 0.04)
        self.assertEqual(tuple(diff[15, 15]), (255, 0, 255))
        self.assertFalse(images.compare_with_reference(shot[:50], reference)[1])


class JudgingTheDiagnosticStream(unittest.TestCase):
    def test_toolkit_criticals_warnings_checks_and_debug_lines_are_complaints(self):
        text = "\n".join([
            "test: command 57600",
            "(tavelo:1455): Gtk-CRITICAL **: 17:51:52.200: gtk_box_gadget_distribute: assertion 'size >= 0' failed",
            "(tavelo:1): Gtk-WARNING **: 10:00:00.000: Negative content width",
            "(tavelo:1): GLib-CRITICAL **: g_source_remove: assertion 'tag > 0' failed",
            "(tavelo:1): GLib-GObject-WARNING **: invalid cast",
            "toolkit check failed: ./src/common/wincmn.cpp:374 CreateBase: invalid id value",
            "17:35:51: Debug: ClientToScreen cannot work when toplevel window is not shown",
            "Loading footage",
            "\nthread error: cannot read frame",
            "==12==ERROR: AddressSanitizer: heap-use-after-free on address 0x6",
            "app/view/TLView.cpp:12:5: runtime error: signed integer overflow",
        ])
        found = complaints(text)
        self.assertEqual(len(found), 9)
        self.assertNotIn("Loading footage", found)
        self.assertEqual(complaints("all well\nsaved project.tvp\n"), [])


class RandomEvents(unittest.TestCase):
    def test_the_same_seed_gives_the_same_events_and_another_seed_others(self):
        a = random_input_test.make_events(7, 500, 1024, 720)
        self.assertEqual(a, random_input_test.make_events(7, 500, 1024, 720))
        self.assertNotEqual(a, random_input_test.make_events(8, 500, 1024, 720))

    def test_events_stay_inside_the_window_below_its_menu_bar(self):
        kinds = set()
        for kind, arg in random_input_test.make_events(3, 3000, 1024, 720):
            kinds.add(kind)
            points = []
            if kind in ("click", "right", "double"):
                points = [arg]
            elif kind in ("drag", "right-drag"):
                points = list(arg)
            elif kind == "wheel":
                points = [arg[0]]
                self.assertIn(arg[1], (-3, -2, -1, 1, 2, 3))
            else:
                self.assertIn(arg, random_input_test.KEYS)
            for x, y in points:
                self.assertTrue(0 <= x < 1024 and layout.MENU_BAR_HEIGHT < y < 720, (kind, arg))
        self.assertEqual(kinds, {k for k, _ in random_input_test.KINDS})


class StepRecord(unittest.TestCase):
    def test_a_failed_step_skips_the_steps_that_need_it_but_not_the_others(self):
        s = Steps(log=lambda text: None)
        s.run("a", lambda: None)
        s.run("b", lambda: (_ for _ in ()).throw(DriverError("b broke")), needs=["a"])
        s.run("c", lambda: None, needs=["b"])
        s.run("d", lambda: None, needs=["a"])
        self.assertEqual(s.passed, ["a", "d"])
        self.assertEqual(s.failures, [("b", "b broke")])
        self.assertEqual(s.skipped, [("c", ["b"])])
        self.assertEqual(s.exit_status(), 1)

    def test_a_soft_fault_fails_the_step_but_lets_the_steps_after_it_run(self):
        s = Steps(log=lambda text: None)
        s.run("a", lambda: s.soft_fail("titled wrongly"))
        s.run("b", lambda: None, needs=["a"])
        self.assertEqual(s.failures, [("a", "titled wrongly")])
        self.assertEqual(s.passed, ["b"])

    def test_a_fatal_step_stops_the_run_and_recovery_follows_each_failure(self):
        recovered = []
        s = Steps(log=lambda text: None, recover=lambda: recovered.append(1))
        with self.assertRaises(DriverError):
            s.run("a", lambda: (_ for _ in ()).throw(DriverError("no display")), fatal=True)
        s.run("b", lambda: (_ for _ in ()).throw(AssertionError("wrong")))
        self.assertEqual(len(recovered), 1)


class Client:
    """A plain X client with one top-level window, as the program is to
    the driver: it records the events it gets and can answer pings."""

    def __init__(self, name, title, x, y, width, height, colour=0x3366CC):
        self.d = xdisplay.Display(name)
        screen = self.d.screen()
        self.window = screen.root.create_window(
            x, y, width, height, 0, screen.root_depth, X.InputOutput, X.CopyFromParent,
            background_pixel=colour, override_redirect=False,
            event_mask=X.ButtonPressMask | X.ButtonReleaseMask | X.KeyPressMask | X.StructureNotifyMask
            | X.PointerMotionMask)
        self.window.set_wm_name(title)
        self.protocols = [self.d.intern_atom("WM_DELETE_WINDOW"), self.d.intern_atom("_NET_WM_PING")]
        self.window.set_wm_protocols(self.protocols)
        self.window.map()
        self.d.sync()
        self.events = []

    def pump(self, seconds, answer_pings=True):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while self.d.pending_events():
                e = self.d.next_event()
                self.events.append(e)
                if (answer_pings and e.type == X.ClientMessage
                        and e.data[1][0] == self.d.intern_atom("_NET_WM_PING")):
                    root = self.d.screen().root
                    pong = xevent.ClientMessage(window=root, client_type=e.client_type, data=(32, e.data[1]))
                    root.send_event(pong, event_mask=X.SubstructureNotifyMask | X.SubstructureRedirectMask)
                    self.d.flush()
            select.select([self.d], [], [], 0.05)

    def close(self):
        self.d.close()


class OnADisplay(unittest.TestCase):
    """A display of the class's own, with the driver's screen on it."""

    @classmethod
    def setUpClass(cls):
        cls.server = XServer()
        cls.screen = Screen(cls.server.name)

    @classmethod
    def tearDownClass(cls):
        cls.screen.close()
        cls.server.stop()


class DrivingADisplay(OnADisplay):
    def setUp(self):
        self.client = Client(self.server.name, "Driver Target", 100, 80, 300, 200)
        self.screen.wait_window("Driver Target", 10)

    def tearDown(self):
        self.client.close()
        time.sleep(0.1)

    def test_the_screen_has_the_fixed_size_and_windows_are_found_by_title(self):
        self.assertEqual((self.screen.width, self.screen.height), (1280, 1024))
        w = self.screen.find("Driver T.*")
        self.assertEqual((w.x, w.y, w.width, w.height), (100, 80, 300, 200))
        self.assertIsNone(self.screen.find("Driver"))  # the whole title must match
        self.assertEqual(self.screen.window_at(150, 100).id, w.id)
        with self.assertRaises(DriverError):
            self.screen.wait_window("No Such Window", 0.3)

    def test_a_click_reaches_the_window_under_the_pointer_at_its_point(self):
        self.screen.click(150, 130, button=3)
        self.client.pump(0.5)
        presses = [e for e in self.client.events if e.type == X.ButtonPress]
        self.assertEqual([(e.detail, e.event_x, e.event_y) for e in presses], [(3, 50, 50)])

    def test_a_drag_moves_with_the_button_held_and_releases_at_its_end(self):
        self.screen.drag([(110, 90), (200, 120)], step_pause=0.001)
        self.client.pump(0.5)
        kinds = [e.type for e in self.client.events if e.type in (X.ButtonPress, X.ButtonRelease, X.MotionNotify)]
        held = kinds[kinds.index(X.ButtonPress):]
        self.assertEqual(held[-1], X.ButtonRelease)
        self.assertEqual(held.count(X.ButtonPress), 1)
        self.assertGreater(held.count(X.MotionNotify), 10)
        release = [e for e in self.client.events if e.type == X.ButtonRelease][0]
        self.assertEqual((release.event_x, release.event_y), (100, 40))

    def test_typed_text_and_key_combinations_arrive_with_their_shift_and_modifiers(self):
        w = self.screen.find("Driver Target")
        self.screen.focus(w)
        self.screen.type("a/B_")
        self.screen.key("ctrl+l")
        self.client.pump(0.5)
        presses = [e for e in self.client.events if e.type == X.KeyPress]
        typed = []
        for e in presses:
            shifted = bool(e.state & X.ShiftMask)
            keysym = self.client.d.keycode_to_keysym(e.detail, 1 if shifted else 0)
            if keysym not in (XK.XK_Shift_L, XK.XK_Control_L):
                typed.append((XK.keysym_to_string(keysym), bool(e.state & X.ControlMask)))
        self.assertEqual(typed, [("a", False), ("/", False), ("B", False), ("_", False), ("l", True)])

    def test_the_close_message_reaches_the_window_as_a_window_manager_sends_it(self):
        self.screen.send_delete(self.screen.find("Driver Target"))
        self.client.pump(0.5)
        messages = [e for e in self.client.events if e.type == X.ClientMessage]
        self.assertEqual(len(messages), 1)
        self.assertEqual(messages[0].data[1][0], self.client.d.intern_atom("WM_DELETE_WINDOW"))

    def test_a_ping_comes_back_only_from_a_client_that_answers(self):
        import threading
        w = self.screen.find("Driver Target")
        answering = threading.Thread(target=self.client.pump, args=(2.0,))
        answering.start()
        self.assertTrue(self.screen.ping(w, timeout=2))
        answering.join()
        silent = threading.Thread(target=self.client.pump, args=(1.5, False))
        silent.start()
        self.assertFalse(self.screen.ping(w, timeout=1))
        silent.join()

    def test_screenshots_show_the_windows_colours_where_they_are(self):
        self.client.pump(0.2)
        shot = self.screen.screenshot()
        self.assertEqual(shot.shape, (1024, 1280, 3))
        self.assertEqual(tuple(shot[180, 250]), (0x33, 0x66, 0xCC))
        self.assertEqual(tuple(shot[10, 10]), tuple(shot[500, 900]))
        grabbed = self.screen.grab((100, 80, 400, 280))
        self.assertTrue(np.array_equal(grabbed, shot[80:280, 100:400]))


class DropAndSelectionClient(Client):
    """A client that takes dropped files as a toolkit does (it declares
    XDND, accepts at any point, asks for the file list on the drop and
    tells the source it has finished) and owns the primary selection."""

    def __init__(self, name, text):
        super().__init__(name, "Drop Target", 100, 80, 300, 200)
        self.atom = self.d.intern_atom
        self.window.change_property(self.atom("XdndAware"), Xatom.ATOM, 32, [5])
        self.window.set_selection_owner(self.atom("PRIMARY"), X.CurrentTime)
        self.d.sync()
        self.text = text
        self.position = self.dropped = None

    def send(self, window_id, name, data):
        w = self.d.create_resource_object("window", window_id)
        w.send_event(xevent.ClientMessage(window=w, client_type=self.atom(name), data=(32, data)), event_mask=0)
        self.d.flush()

    def handle(self, e):
        if e.type == X.ClientMessage and e.client_type == self.atom("XdndPosition"):
            self.position = (e.data[1][2] >> 16, e.data[1][2] & 0xFFFF)
            self.send(e.data[1][0], "XdndStatus", [self.window.id, 1, 0, 0, self.atom("XdndActionCopy")])
        elif e.type == X.ClientMessage and e.client_type == self.atom("XdndDrop"):
            self.source = e.data[1][0]
            self.window.convert_selection(self.atom("XdndSelection"), self.atom("text/uri-list"),
                                          self.atom("DROPPED"), e.data[1][2])
            self.d.flush()
        elif e.type == X.SelectionNotify and e.property == self.atom("DROPPED"):
            self.dropped = self.window.get_full_property(self.atom("DROPPED"), X.AnyPropertyType).value
            self.send(self.source, "XdndFinished", [self.window.id, 1, self.atom("XdndActionCopy"), 0, 0])
        elif e.type == X.SelectionRequest:
            e.requestor.change_property(e.property, self.atom("UTF8_STRING"), 8, self.text.encode())
            e.requestor.send_event(xevent.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                          target=e.target, property=e.property), event_mask=0)
            self.d.flush()

    def serve(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while self.d.pending_events():
                self.handle(self.d.next_event())
            select.select([self.d], [], [], 0.05)


class DroppingAndSelections(OnADisplay):
    def serving(self, client, action, seconds=2.0):
        import threading
        served = threading.Thread(target=client.serve, args=(seconds,))
        served.start()
        try:
            return action()
        finally:
            served.join()

    def test_files_are_dropped_at_a_point_as_a_uri_list_by_the_drag_and_drop_protocol(self):
        client = DropAndSelectionClient(self.server.name, "")
        try:
            self.screen.wait_window("Drop Target", 10)
            self.serving(client, lambda: self.screen.drop_files(150, 130, ["/tmp/a clip.avi", "/tmp/b.tvp"]))
            self.assertEqual(client.position, (150, 130))
            self.assertEqual(bytes(client.dropped), b"file:///tmp/a%20clip.avi\r\nfile:///tmp/b.tvp\r\n")
        finally:
            client.close()

    def test_a_window_that_takes_no_files_is_told_and_nothing_is_dropped(self):
        plain = Client(self.server.name, "Plain", 500, 80, 100, 100)
        try:
            self.screen.wait_window("Plain", 10)
            with self.assertRaises(DriverError):
                self.screen.drop_files(550, 130, ["/tmp/x.avi"])
        finally:
            plain.close()

    def test_the_primary_selection_reads_as_its_owner_gives_it_and_none_without_an_owner(self):
        client = DropAndSelectionClient(self.server.name, "Error while opening project:\nline \u00e9.")
        try:
            text = self.serving(client, lambda: self.screen.selection_text("PRIMARY"))
            self.assertEqual(text, "Error while opening project:\nline \u00e9.")
            self.assertIsNone(self.screen.selection_text("SECONDARY"))
        finally:
            client.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
