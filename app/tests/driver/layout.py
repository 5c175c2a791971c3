"""Where things are in the main frame, found on screenshots.

GTK child widgets are not X windows, so the driver finds the frame's areas
by what they look like at the fixed screen size (1280 x 1024, GTK_THEME
Adwaita, scale 1): the panel headers are bars of one colour with the
panel's title, the menu bar's titles are dark text on a light strip, menu
items are rows of text between separator lines. Every constant of the
look lives here, so a change of the program's look is mended in one
place.
"""

import numpy as np

from .xsession import DriverError

# The colour of a panel's header bar (COLOR_BTNSHADOW under Adwaita).
PANEL_HEADER = (153, 149, 145)
# Height of the menu bar at the top of the main window.
MENU_BAR_HEIGHT = 25
# A header bar is at least this long and this high.
HEADER_MIN_LENGTH = 20
HEADER_MIN_HEIGHT = 12

# The menu bar and its menus as the program defines them ("-" a
# separator, "*" the recent-file list, which holds any number of items).
MENUS = {
    "File": ["New Project...", "Open...", "Save", "Save As...", "-", "Close Project", "-",
             "Import Background...", "-", "Export Crisp Masks...", "Export Smooth Masks...", "Render...", "-",
             ("Preferences", ["Cache...", "Rendering...", ("Language", ["*"])]), "-", "*", "-", "Exit"],
    "Edit": ["Undo", "Redo", "-", "Cut", "Copy", "Paste", "Clear"],
    "Segment": ["New Segment", "New from Active", "Delete Active", "-", "Set Front End", "Set Back End", "-",
                "Activate below", "Activate above", "Deactivate", "-", "Import Key Mask...",
                "Export Key Mask...", "-", "Copy Contour", "Export Contour...", "-", "Process", "Cancel",
                "Trim", "Reset Parameters", "-", "Process All", "Cancel All"],
    "Display": ["Preview", "Edit Mask", "-", "Zoom In", "Zoom Out", "Fit on Screen", "Actual Pixels"],
    "Time": ["First Frame", "Last Frame", "-", "Work Area Start", "Work Area End", "-", "Previous Frame",
             "Next Frame", "-", "Play Forward", "Pause", "Play Backward", "-", "Segment Back End",
             "Segment Front End", "-", "Go to Frame...", "-", "Follow", "Auto Follow", "-", "Loop", "-",
             "RAM Preview"],
    "Timeline": ["Zoom In", "Zoom Out", "Fit in Window", "-", "Begin Work Area", "End Work Area"],
    "View": ["Right Panels", "Bottom Panels", "Status Bar"],
    "Help": ["About Tavelo..."],
}
MENU_TITLES = ["File", "Edit", "Segment", "Display", "Time", "Timeline", "View", "Help"]
MNEMONICS = {"File": "f", "Edit": "e", "Segment": "s", "Display": "d", "Time": "t", "Timeline": "l",
             "View": "v", "Help": "h"}


def mnemonic(title):
    return MNEMONICS[title]


def luminance(image):
    image = np.asarray(image, dtype=np.int32)
    return (image[..., 0] * 299 + image[..., 1] * 587 + image[..., 2] * 114) // 1000


def runs(flags, min_gap=1):
    """[start, end) runs of true values; gaps shorter than `min_gap` are
    bridged."""
    found = []
    start = None
    gap = 0
    for i, flag in enumerate(list(flags) + [False] * min_gap):
        if flag:
            if start is None:
                start = i
            gap = 0
            end = i + 1
        elif start is not None:
            gap += 1
            if gap >= min_gap:
                found.append((start, end))
                start = None
    return found


# Menu bar ---------------------------------------------------------------------

def menu_title_position(image, window, title):
    """The centre of a menu title in the menu bar, or None while the bar
    does not show its titles: the titles are the runs of dark text in the
    bar, in their order."""
    top = window.y + 3
    bottom = window.y + MENU_BAR_HEIGHT - 4
    strip = luminance(image[top:bottom, window.x:window.x + window.width])
    ink = (strip < 110).any(axis=0)
    words = runs(ink, min_gap=9)
    if len(words) != len(MENU_TITLES):
        return None
    start, end = words[MENU_TITLES.index(title)]
    return (window.x + (start + end) // 2, (top + bottom) // 2)


# Menus ------------------------------------------------------------------------

class MenuEntry:
    def __init__(self, x, y, enabled):
        self.x, self.y, self.enabled = x, y, enabled

    def __repr__(self):
        return "MenuEntry(%d, %d, %s)" % (self.x, self.y, "enabled" if self.enabled else "disabled")


def _groups(menu):
    """The menu definition as groups of item names between separators."""
    groups = [[]]
    for item in menu:
        if item == "-":
            groups.append([])
        else:
            groups[-1].append(item[0] if isinstance(item, tuple) else item)
    return groups


def submenu(menu, name):
    for item in menu:
        if isinstance(item, tuple) and item[0] == name:
            return item[1]
    raise DriverError("no submenu %r" % name)


def menu_rows(popup_image):
    """Reads a menu's picture: answers groups (between separator lines) of
    item rows, each (top, bottom, enabled). An item is a band of rows with
    ink; a separator is a line across the whole menu in one colour; an item
    whose darkest text is light grey is disabled."""
    image = np.asarray(popup_image, dtype=np.int32)
    height, width = image.shape[:2]
    inner = image[:, 3:width - 3]
    background = np.median(inner.reshape(-1, 3), axis=0)
    differs = np.abs(inner - background).sum(axis=2) > 24
    separator = np.zeros(height, dtype=bool)
    for y in range(height):
        row = inner[y]
        if differs[y].mean() > 0.9 and np.abs(row - row[len(row) // 2]).sum(axis=1).max() < 12:
            separator[y] = True
    ink = differs.any(axis=1) & ~separator
    # The outer border rows are not items.
    ink[:2] = False
    ink[-2:] = False
    lum = luminance(inner)
    groups = [[]]
    y = 0
    bands = runs(ink, min_gap=3)
    separators = [y for y in range(height) if separator[y]]
    for top, bottom in bands:
        while separators and separators[0] < top:
            if groups[-1]:
                groups.append([])
            separators.pop(0)
        darkest = lum[top:bottom].min()
        groups[-1].append((top, bottom, bool(darkest < 110)))
    return [g for g in groups if g]


def menu_item_rows(picture, menu):
    """The rows of the items of the menu `menu` (a list of MENUS) on the
    picture of the open menu: {name: (top, bottom, enabled)}."""
    seen = menu_rows(picture)
    wanted = _groups(menu)
    counts_seen = [len(s) for s in seen]
    counts_wanted = [len(w) for w in wanted]
    # A group with a list of any length ("*") matches any count.
    ok = len(seen) == len(wanted) and all(
        "*" in w or len(s) == len(w) for s, w in zip(seen, wanted))
    if not ok:
        raise DriverError("the menu shows groups of %s items, not %s" % (counts_seen, counts_wanted))
    return {name: row for s, w in zip(seen, wanted) if "*" not in w for name, row in zip(w, s)}


def locate_menu_item(image, popup, menu, name):
    """Where item `name` of the menu `menu` (a list of MENUS) is on the
    screenshot `image` of the open menu `popup`."""
    if not any(name in group for group in _groups(menu)):
        raise DriverError("the menu has no item %r" % name)
    picture = image[popup.y:popup.y + popup.height, popup.x:popup.x + popup.width]
    top, bottom, enabled = menu_item_rows(picture, menu)[name]
    return MenuEntry(popup.x + popup.width // 2, popup.y + (top + bottom) // 2, enabled)


# The main frame -------------------------------------------------------------------

class Rect:
    def __init__(self, left, top, right, bottom):
        self.left, self.top, self.right, self.bottom = int(left), int(top), int(right), int(bottom)

    @property
    def width(self):
        return self.right - self.left

    @property
    def height(self):
        return self.bottom - self.top

    def centre(self):
        return ((self.left + self.right) // 2, (self.top + self.bottom) // 2)

    def crop(self, image):
        return image[self.top:self.bottom, self.left:self.right]

    def __repr__(self):
        return "Rect(%d, %d, %d, %d)" % (self.left, self.top, self.right, self.bottom)


def header_bars(image, window):
    """The panel header bars inside the window: rectangles of the header
    colour at least HEADER_MIN_LENGTH wide and HEADER_MIN_HEIGHT high."""
    area = np.asarray(image[window.y:window.y + window.height, window.x:window.x + window.width], dtype=np.int32)
    mask = (np.abs(area - np.array(PANEL_HEADER)).sum(axis=2) <= 6)
    bars = []
    rows = mask.sum(axis=1) >= HEADER_MIN_LENGTH
    for top, bottom in runs(rows):
        # Columns of this band; text inside the bar is bridged.
        columns = mask[top:bottom].mean(axis=0) > 0.5
        for left, right in runs(columns, min_gap=12):
            if right - left >= HEADER_MIN_LENGTH and bottom - top >= HEADER_MIN_HEIGHT:
                bars.append(Rect(window.x + left, window.y + top, window.x + right, window.y + bottom))
    return bars


class Frame:
    """The main frame's areas on one screenshot. Panels are named by their
    header: tools (left strip), display, time_controls, properties (right
    bar, top to bottom), timeline (bottom bar); each is the panel's body
    below its header, up to the next header or the bar's end. The view is
    what lies between the tool strip, the right bar and the bottom bar
    (its display strip included)."""

    def __init__(self, window, headers, panels, view):
        self.window = window
        self.headers = headers
        self.panels = panels
        self.view = view

    def panel(self, name):
        if name not in self.panels:
            raise DriverError("the main frame shows no %s panel (panels seen: %s)"
                              % (name, ", ".join(sorted(self.panels)) or "none"))
        return self.panels[name]


RIGHT_PANELS = ["display", "time_controls", "properties"]


def find_frame(image, window):
    bars = header_bars(image, window)
    right_edge = window.x + window.width
    bottom_edge = window.y + window.height
    headers = {}
    panels = {}
    mid_x = window.x + window.width // 2
    mid_y = window.y + window.height // 2
    tools = [b for b in bars if b.left <= window.x + 2 and b.width < 80 and b.top < mid_y]
    bottom = [b for b in bars if b.top > mid_y and b.width > window.width // 2]
    right = sorted([b for b in bars if b.left > mid_x and b.top < (bottom[0].top if bottom else bottom_edge)],
                   key=lambda b: b.top)
    bottom_top = bottom[0].top if bottom else bottom_edge
    if tools:
        headers["tools"] = tools[0]
        panels["tools"] = Rect(tools[0].left, tools[0].bottom, tools[0].right, bottom_top)
    for i, (name, bar) in enumerate(zip(RIGHT_PANELS, right)):
        headers[name] = bar
        end = right[i + 1].top if i + 1 < len(right) else bottom_top
        panels[name] = Rect(bar.left, bar.bottom, bar.right, end)
    if bottom:
        headers["timeline"] = bottom[0]
        panels["timeline"] = Rect(bottom[0].left, bottom[0].bottom, bottom[0].right, bottom_edge)
    left = tools[0].right if tools else window.x
    right_x = right[0].left - 6 if right else right_edge
    top = tools[0].top if tools else window.y + MENU_BAR_HEIGHT
    view = Rect(left + 1, top, right_x, bottom_top - 4)
    return Frame(window, headers, panels, view)


# The strip of zoom controls at the bottom of the view area.
DISPLAY_STRIP_HEIGHT = 26


def view_image_area(frame):
    """The part of the view area where the view draws its picture: the
    view area without the strip of zoom controls below it."""
    view = frame.view
    return Rect(view.left, view.top, view.right, view.bottom - DISPLAY_STRIP_HEIGHT)


def picture_box(image, area, border=None, tolerance=12):
    """The bounding box (Rect) inside `area` of what differs from the area's
    border colour (the colour around a picture shown in a view); None when
    nothing does."""
    region = np.asarray(area.crop(image), dtype=np.int32)
    if border is None:
        edge = np.concatenate([region[2, :], region[-3, :], region[:, 2], region[:, -3]])
        border = np.median(edge, axis=0)
    differs = np.abs(region - np.asarray(border)).sum(axis=2) > tolerance
    rows = np.flatnonzero(differs.mean(axis=1) > 0.05)
    cols = np.flatnonzero(differs.mean(axis=0) > 0.05)
    if len(rows) == 0 or len(cols) == 0:
        return None
    return Rect(area.left + cols[0], area.top + rows[0], area.left + cols[-1] + 1, area.top + rows[-1] + 1)


def components(mask):
    """Bounding boxes (left, top, right, bottom) and pixel counts of the
    8-connected components of a boolean array."""
    mask = np.asarray(mask, dtype=bool)
    seen = np.zeros_like(mask)
    height, width = mask.shape
    found = []
    for y0, x0 in zip(*np.nonzero(mask)):
        if seen[y0, x0]:
            continue
        stack = [(y0, x0)]
        seen[y0, x0] = True
        left, top, right, bottom, count = x0, y0, x0, y0, 0
        while stack:
            y, x = stack.pop()
            count += 1
            left, right = min(left, x), max(right, x)
            top, bottom = min(top, y), max(bottom, y)
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    ny, nx = y + dy, x + dx
                    if 0 <= ny < height and 0 <= nx < width and mask[ny, nx] and not seen[ny, nx]:
                        seen[ny, nx] = True
                        stack.append((ny, nx))
        found.append(((int(left), int(top), int(right) + 1, int(bottom) + 1), count))
    return found


# COLOR_BTNSHADOW under Adwaita: the caption line of a property list (a
# vertical line between captions and values, as long as the list) and the
# top and left edges of its check boxes' sunken frames. The panel headers
# are drawn in a darker colour made from it (PANEL_HEADER).
BUTTON_SHADOW = (205, 199, 194)
# A property row's height; a list shows at least two rows.
PROPERTY_ROW_HEIGHT = 18
# A check box is drawn as a sunken frame (top and left edges in the shadow
# colour, bottom and right in the highlight colour) one pixel larger than
# its glyph on each side: a square of this side (pixels).
CHECK_BOX_SIDE = (9, 18)
# The check box of "Decrease Mask Freedom" on a segment's page: the page
# lists the parameter groups collapsed, and the groups with a check box are
# "Optic Flow", "MinCut", "Refine", "Pyramid Refine" and "Decrease Mask
# Freedom", in that order, followed by "Smooth Mask" (a drop-down): so it
# is the last check box of the list once the list is scrolled to its end.
DECREASE_MASK_FREEDOM_BOX = -1


def colour_mask(region, colour, tolerance=6):
    region = np.asarray(region, dtype=np.int32)
    return np.abs(region - np.array(colour)).sum(axis=2) <= tolerance


def property_list_area(image, panel):
    """The property list of a property editor inside `panel` (the info pane
    below it left out) and the screen column of its caption line; (None,
    None) when no list is shown. The caption line is the longest vertical
    run of the shadow colour; the list reaches as far down as it does."""
    shadow = colour_mask(panel.crop(image), BUTTON_SHADOW)
    best = (0, None, None, None)
    for x in range(shadow.shape[1]):
        column = shadow[:, x]
        if column.sum() <= best[0]:
            continue
        for top, bottom in runs(column):
            if bottom - top > best[0]:
                best = (bottom - top, x, top, bottom)
    length, x, top, bottom = best
    if length < 2 * PROPERTY_ROW_HEIGHT:
        return None, None
    return Rect(panel.left, panel.top + top, panel.right, panel.top + bottom), panel.left + x


def property_check_boxes(image, panel):
    """The check boxes a property list shows whole, top to bottom: (x, y,
    ticked) of each box's centre on the screen. A box is a square sunken
    frame right of the caption line: its top and left edges, in the shadow
    colour, make an L; a ticked one has dark pixels inside."""
    area, line = property_list_area(image, panel)
    if area is None:
        return []
    region = np.asarray(area.crop(image))
    lum = luminance(region)
    edges = colour_mask(region, BUTTON_SHADOW)
    edges[:, :line - area.left + 2] = False
    boxes = []
    for (left, top, right, bottom), count in components(edges):
        w, h = right - left, bottom - top
        if not (CHECK_BOX_SIDE[0] <= w <= CHECK_BOX_SIDE[1] and abs(w - h) <= 1):
            continue
        # The two edges and nothing else of the shadow colour.
        if not (w + h - 3 <= count <= w + h + 1):
            continue
        if not (edges[top, left:right].mean() > 0.8 and edges[top:bottom, left].mean() > 0.8):
            continue
        inner = lum[top + 2:bottom - 1, left + 2:right - 1]
        ticked = inner.size > 0 and float((inner < 128).mean()) > 0.1
        boxes.append((area.left + left + w // 2, area.top + top + h // 2, ticked))
    return sorted(boxes, key=lambda b: (b[1], b[0]))


# Points of the "Rendering Settings" dialog, as fractions of its size: the
# arrows of the "Format:" list and of the "Active:" coder list, and the OK
# button.
RENDER_SETTINGS_FORMAT = (0.881, 0.149)
RENDER_SETTINGS_CODER = (0.881, 0.527)
RENDER_SETTINGS_OK = (0.548, 0.920)


def dialog_point(window, fraction):
    return (window.x + int(window.width * fraction[0]), window.y + int(window.height * fraction[1]))


def transport_glyphs(image, panel):
    """The glyphs of the time controls' transport buttons, left to right:
    the inside of each button of the first row of buttons at the top of
    the panel (buttons are told apart by their borders, or, when they have
    none, by the gaps between their glyphs)."""
    region = np.asarray(panel.crop(image)[:80], dtype=np.int32)
    background = np.median(region.reshape(-1, 3), axis=0)
    differs = np.abs(region - background).sum(axis=2) > 20
    bands = [b for b in runs(differs.any(axis=1)) if b[1] - b[0] >= 8]
    if not bands:
        return []
    top, bottom = bands[0]
    band = differs[top:bottom]
    borders = runs(band.mean(axis=0) > 0.9)
    glyphs = []
    for (_, left), (right, _) in zip(borders, borders[1:]):
        if 8 <= right - left <= 30:
            glyphs.append(region[top + 2:bottom - 2, left + 1:right - 1])
    if len(glyphs) >= 2:
        return glyphs
    return [region[top:bottom, a:b] for a, b in runs(band.any(axis=0), min_gap=3)]


# The colour box of the strip below the view (zoom field 75 pixels, two
# zoom buttons of 25 and a slider of 50 before it, for a strip of 175
# pixels or more), and the middle of the strip, above the bottom bar.
COLOUR_BOX_OFFSET = 75 + 25 + 50 + 25 + 10
STRIP_ABOVE_BOTTOM_BAR = 16


def background_colour_box(frame):
    """The centre of the background colour box below the view."""
    bottom = frame.headers["timeline"].top if "timeline" in frame.headers else frame.view.bottom + 4
    return (frame.view.left - 1 + COLOUR_BOX_OFFSET, bottom - STRIP_ABOVE_BOTTOM_BAR)


# A property row selected in its list is filled with this colour.
SELECTED_PROPERTY_ROW = (224, 224, 255)
# An open edit field: its inside, and its text (darker than its frame).
EDIT_FIELD = (255, 255, 255)
EDIT_TEXT_LUMINANCE = 160


def property_row(area, line, index):
    """Row `index` (0 the top row shown) of a property list whose area and
    caption line property_list_area found: (caption, value) rectangles."""
    top = area.top + index * PROPERTY_ROW_HEIGHT
    bottom = top + PROPERTY_ROW_HEIGHT
    return Rect(area.left, top, line, bottom), Rect(line + 1, top, area.right, bottom)


def selected_property_row(image, area, line):
    """The selected row of a property list, wherever the list is scrolled
    to: (caption, value) rectangles, or None while no row is selected
    (or the selected one is not shown whole). The row is filled with the
    selection colour but for its bottom line."""
    column = colour_mask(Rect(area.left + 2, area.top, line - 2, area.bottom).crop(image),
                         SELECTED_PROPERTY_ROW).mean(axis=1) > 0.3
    bands = [b for b in runs(column, min_gap=2) if b[1] - b[0] >= PROPERTY_ROW_HEIGHT - 4]
    if not bands:
        return None
    top = area.top + bands[0][0]
    return (Rect(area.left, top, line, top + PROPERTY_ROW_HEIGHT),
            Rect(line + 1, top, area.right, top + PROPERTY_ROW_HEIGHT))


def edit_field(image, value):
    """The open edit field inside the value cell `value` of a property row
    (it may reach a few pixels above and below the row), or None: from the
    first to the last pixel of the field's colour along the row's middle
    (its text between), and the rows above and below that hold it so far
    (nothing else in a row draws that colour)."""
    region = Rect(value.left, value.top - 4, value.right, value.bottom + 4)
    inside = colour_mask(region.crop(image), EDIT_FIELD, tolerance=3)
    middle = (value.top + value.bottom) // 2 - region.top
    columns = np.flatnonzero(inside[middle])
    if len(columns) < 4:
        return None
    left, right = columns[0], columns[-1] + 1
    rows = runs(inside[:, left:right].mean(axis=1) > 0.6)
    top, bottom = [r for r in rows if r[0] <= middle < r[1]][0]
    return Rect(region.left + left, region.top + top, region.left + right, region.top + bottom)


def ink_columns(image, field):
    """How many pixel columns inside an edit field (its frame left out)
    hold some of its text or caret."""
    inner = Rect(field.left + 1, field.top + 1, field.right - 1, field.bottom - 1)
    return int((luminance(inner.crop(image)) < EDIT_TEXT_LUMINANCE).any(axis=0).sum())


def editable_texts(image, rect):
    """The editable texts inside `rect` (dark blue, dotted underline), top
    to bottom: a Rect around each line of them."""
    region = np.asarray(rect.crop(image), dtype=np.int32)
    blue = (region[..., 2] - region[..., 0] > 60) & (region[..., 0] < 110)
    found = []
    for top, bottom in runs(blue.any(axis=1), min_gap=3):
        for left, right in runs(blue[top:bottom].any(axis=0), min_gap=6):
            found.append(Rect(rect.left + left, rect.top + top, rect.left + right, rect.top + bottom))
    return found
