"""Draws the pictures of the default skin: the status icon sheet, one sheet of shapes and glyphs,
and the shadow-blended washes that grey out disabled rows and buttons."""
import math
import os

from raster import Canvas, TRANSPARENT, hex_rgb, rgb565, wash_pixel, write_bmp565

# The palette; the skin's colour properties use the same values.
PAGE = "#EEF1F5"
WHITE = "#FFFFFF"
PRESS = "#DCE6FA"
SELECT = "#E8EEFB"
BAR = "#2F6BD8"
BAR_P = "#2256B8"
TEXT = "#1D2530"
TEXT2 = "#5F6B7A"
HINT = "#98A2AE"
LINE = "#DFE3E9"
ACCENT = "#2F6BD8"
ACCENT_P = "#2256B8"
ACCENT_D = "#A9BFEA"
DANGER = "#D9483B"
DANGER_P = "#B53428"
DONE = "#34A86B"
PATH = "#E3E9F4"
STATUS = ["#9AA5B1", "#E5484D", "#F2882E", "#EDBB24", "#34A86B", "#3B7FE8"]

ICON = 20  # cell of the status icon sheet


def mix(a, b, t):
    a, b = hex_rgb(a), hex_rgb(b)
    return "#%02X%02X%02X" % tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def check_mark(c, x, y, size, width, color):
    c.line([(x + size * 0.18, y + size * 0.52), (x + size * 0.42, y + size * 0.74),
            (x + size * 0.82, y + size * 0.28)], width, color)


def draw_lock(c, x, y, color):
    c.rrect(x, y + 4, 8, 6, 1.5, color)
    c.ring(x + 4, y + 4, 3.2, 1.4, color)
    c.rect(x + 0.5, y + 4, 7, 2, color)


def draw_icons(path):
    """8 rows of kinds (project, project done, folder, folder done, task, task done, read-only
    project, read-only folder or task) by 6 columns of statuses."""
    c = Canvas(6 * ICON, 8 * ICON)
    for kind in range(8):
        for status in range(6):
            x, y = status * ICON, kind * ICON
            col = STATUS[status]
            light = mix(col, WHITE, 0.55)
            if kind in (0, 1):  # project: a filled square with a bar across, done adds a check
                c.rrect(x + 2, y + 2, 16, 16, 4, col)
                if kind == 0:
                    c.rect(x + 6, y + 7, 8, 2, WHITE)
                    c.rect(x + 6, y + 11, 5, 2, WHITE)
                else:
                    check_mark(c, x + 3, y + 3, 14, 2.4, WHITE)
            elif kind in (2, 3):  # folder
                c.rrect(x + 2, y + 4, 8, 5, 1.5, col)
                c.rrect(x + 2, y + 6, 16, 11, 2.5, col)
                if kind == 3:
                    check_mark(c, x + 4, y + 5, 12, 2.2, WHITE)
                else:
                    c.rect(x + 3, y + 8, 14, 1, mix(col, WHITE, 0.35))
            elif kind == 4:  # task: a ring
                c.ring(x + 10, y + 10, 8, 2.2, col)
            elif kind == 5:  # task done: a filled disc with a check
                c.circle(x + 10, y + 10, 8, col)
                check_mark(c, x + 3, y + 3, 14, 2.4, WHITE)
            elif kind == 6:  # read-only project: pale square with a lock
                c.rrect(x + 2, y + 2, 16, 16, 4, light)
                draw_lock(c, x + 6, y + 5, col)
            else:  # read-only folder or task: pale disc with a lock
                c.circle(x + 10, y + 10, 8, light)
                draw_lock(c, x + 6, y + 5, col)
    c.flatten(WHITE)
    c.write_png(path)


class Sheet:
    """A shelf packer: pictures are drawn into cells of one canvas and named."""

    def __init__(self, width, height):
        self.canvas = Canvas(width, height)
        self.cells = {}
        self.x = self.y = self.shelf = 0
        self.width = width

    def cell(self, name, w, h, background, border=None):
        if self.x + w > self.width:
            self.x, self.y, self.shelf = 0, self.y + self.shelf + 1, 0
        x, y = self.x, self.y
        self.x += w + 1
        self.shelf = max(self.shelf, h)
        self.cells[name] = (x, y, w, h, border, background)
        return x, y

    def finish(self, path):
        used = self.y + self.shelf
        for name, (x, y, w, h, border, background) in self.cells.items():
            self.canvas.flatten(background, (x, y, x + w, y + h))
        self.canvas.height = used
        self.canvas.px = self.canvas.px[:used]
        self.canvas.write_png(path)


def row_shape(s, name, fill, background, style):
    """A 20x15 stretchable piece of a grouped row: 0 alone, 1 first, 2 middle, 3 last."""
    x, y = s.cell(name, 20, 15, background, (12, 7, 7, 7))
    top = style in (0, 1)
    bottom = style in (0, 3)
    s.canvas.rrect(x, y, 20, 15, 7, fill, (top, top, bottom, bottom))
    if style in (1, 2):
        s.canvas.rect(x + 12, y + 14, 8, 1, LINE)


def button_shape(s, name, fill, background, outline=None, radius=6):
    x, y = s.cell(name, 2 * radius + 1, 2 * radius + 1, background, (radius,) * 4)
    if outline:
        s.canvas.rrect(x, y, 2 * radius + 1, 2 * radius + 1, radius, outline)
        s.canvas.rrect(x + 1, y + 1, 2 * radius - 1, 2 * radius - 1, radius - 1, fill)
    else:
        s.canvas.rrect(x, y, 2 * radius + 1, 2 * radius + 1, radius, fill)


def glyph(s, name, background, draw, size=16):
    x, y = s.cell(name, size, size, background)
    draw(s.canvas, x, y)


def chevron_right(color, width=1.8):
    return lambda c, x, y: c.line([(x + 6, y + 3.5), (x + 10.5, y + 8), (x + 6, y + 12.5)], width, color)


def chevron_left(color):
    return lambda c, x, y: c.line([(x + 10, y + 2.5), (x + 4.5, y + 8), (x + 10, y + 13.5)], 2.2, color)


def chevron_down(color):
    return lambda c, x, y: c.line([(x + 4, y + 6), (x + 8, y + 10), (x + 12, y + 6)], 1.8, color)


def plus(color):
    def draw(c, x, y):
        c.line([(x + 8, y + 2), (x + 8, y + 14)], 2.2, color)
        c.line([(x + 2, y + 8), (x + 14, y + 8)], 2.2, color)
    return draw


def cross(color):
    def draw(c, x, y):
        c.line([(x + 3, y + 3), (x + 13, y + 13)], 2.2, color)
        c.line([(x + 13, y + 3), (x + 3, y + 13)], 2.2, color)
    return draw


def tick(color, width=2.2):
    return lambda c, x, y: check_mark(c, x, y, 16, width, color)


def subtasks(color):
    def draw(c, x, y):
        c.rrect(x + 1, y + 2, 5, 4, 1, color)
        c.line([(x + 3.5, y + 6), (x + 3.5, y + 12.5), (x + 8, y + 12.5)], 1.6, color)
        c.line([(x + 3.5, y + 8.5), (x + 8, y + 8.5)], 1.6, color)
        c.rrect(x + 9, y + 7, 6, 3, 1, color)
        c.rrect(x + 9, y + 11, 6, 3, 1, color)
    return draw


def user(color):
    def draw(c, x, y):
        c.circle(x + 8, y + 5.5, 3.3, color)
        c.shape(lambda px, py: (px - x - 8) ** 2 / 36 + (py - y - 15) ** 2 / 36 <= 1 and py <= y + 14.5,
                color, (x, y + 8, x + 16, y + 16))
    return draw


def home(color):
    def draw(c, x, y):
        c.polygon([(x + 8, y + 2), (x + 15, y + 8.5), (x + 1, y + 8.5)], color)
        c.rect(x + 3, y + 8, 10, 6, color)
    return draw


def info(color):
    def draw(c, x, y):
        c.ring(x + 8, y + 8, 7, 1.5, color)
        c.circle(x + 8, y + 4.8, 1.2, color)
        c.rect(x + 7.1, y + 7, 1.8, 5.2, color)
    return draw


def tag(color):
    def draw(c, x, y):
        c.polygon([(x + 2, y + 2), (x + 9, y + 2), (x + 15, y + 8), (x + 9, y + 14), (x + 2, y + 7)], color)
        c.circle(x + 5.5, y + 5.5, 1.4, WHITE)
    return draw


def stack(color):
    def draw(c, x, y):
        for i, yy in enumerate((3, 7.5, 12)):
            c.circle(x + 2.5, y + yy, 1.4, color)
            c.rect(x + 5.5, y + yy - 0.9, 9, 1.8, color)
    return draw


def backspace(color):
    def draw(c, x, y):
        c.polygon([(x + 1, y + 8), (x + 5.5, y + 3), (x + 15, y + 3), (x + 15, y + 13), (x + 5.5, y + 13)], color)
        c.line([(x + 8, y + 5.8), (x + 12.4, y + 10.2)], 1.5, WHITE)
        c.line([(x + 12.4, y + 5.8), (x + 8, y + 10.2)], 1.5, WHITE)
    return draw


def spinner_frame(color, background, frame):
    def draw(c, x, y):
        for i in range(8):
            angle = (i / 8) * 2 * math.pi - math.pi / 2
            age = (frame - i) % 8  # 0 = the leading dot
            t = min(1.0, age / 6)
            dot = mix(color, background, 0.15 + 0.7 * t)
            c.circle(x + 10 + 6.5 * math.cos(angle), y + 10 + 6.5 * math.sin(angle), 2.2 - 0.6 * t, dot)
    return draw


def logo(background):
    def draw(c, x, y):
        c.rrect(x, y, 40, 40, 10, ACCENT)
        c.rrect(x + 9, y + 9, 22, 22, 5, WHITE)
        check_mark(c, x + 10, y + 10, 20, 3.2, ACCENT)
    return draw


def draw_ui(path):
    s = Sheet(256, 256)
    for state, fill in (("n", WHITE), ("p", PRESS)):
        for style in range(4):
            row_shape(s, "row_%s%d" % (state, style), fill, PAGE, style)
    # Buttons on the page and on white cards.
    for where, bg in (("page", PAGE), ("card", WHITE)):
        button_shape(s, "primary_n_" + where, ACCENT, bg)
        button_shape(s, "primary_p_" + where, ACCENT_P, bg)
        button_shape(s, "primary_d_" + where, ACCENT_D, bg)
        button_shape(s, "danger_n_" + where, DANGER, bg)
        button_shape(s, "danger_p_" + where, DANGER_P, bg)
    button_shape(s, "second_n_page", WHITE, PAGE, LINE)
    button_shape(s, "second_p_page", PRESS, PAGE, LINE)
    button_shape(s, "second_d_page", PAGE, PAGE, LINE)
    button_shape(s, "second_n_card", PAGE, WHITE)
    button_shape(s, "second_p_card", PRESS, WHITE)
    button_shape(s, "second_d_card", "#F5F7F9", WHITE)
    button_shape(s, "outline_n_card", WHITE, WHITE, DANGER)
    button_shape(s, "outline_p_card", "#FBE3E0", WHITE, DANGER)
    button_shape(s, "bar_p", BAR_P, BAR)
    button_shape(s, "field_page", WHITE, PAGE, LINE, 7)
    button_shape(s, "field_sel", WHITE, PAGE, ACCENT, 7)
    button_shape(s, "card_page", WHITE, PAGE, None, 8)
    button_shape(s, "pill", ACCENT, WHITE, None, 8)
    button_shape(s, "pill_page", "#D5DEEC", PAGE, None, 8)
    button_shape(s, "key_n", WHITE, PAGE, None, 6)
    button_shape(s, "key_p", PRESS, PAGE, None, 6)
    for name, bg, draw in (
        ("chev_r", WHITE, chevron_right(HINT)), ("chev_r_p", PRESS, chevron_right(ACCENT)),
        ("chev_r_page", PAGE, chevron_right(HINT)),
        ("back", BAR, chevron_left(WHITE)), ("back_p", BAR_P, chevron_left(WHITE)),
        ("plus", BAR, plus(WHITE)), ("plus_p", BAR_P, plus(WHITE)),
        ("save", BAR, tick(WHITE)), ("save_p", BAR_P, tick(WHITE)),
        ("close", BAR, cross(WHITE)), ("close_p", BAR_P, cross(WHITE)),
        ("subtasks", BAR, subtasks(WHITE)), ("subtasks_p", BAR_P, subtasks(WHITE)),
        ("user", WHITE, user(HINT)), ("user_row", WHITE, user(ACCENT)),
        ("user_p", PRESS, user(ACCENT)),
        ("down", WHITE, chevron_down(TEXT2)),
        ("home", PATH, home(TEXT2)), ("crumb", PATH, chevron_right(HINT, 1.4)),
        ("info", WHITE, info(ACCENT)), ("info_p", PRESS, info(ACCENT)),
        ("tag", WHITE, tag(ACCENT)), ("stack", WHITE, stack(ACCENT)),
        ("bksp", WHITE, backspace(TEXT2)),
        ("check", WHITE, tick(ACCENT)), ("check_p", PRESS, tick(ACCENT)),
        ("check_menu", WHITE, tick(ACCENT)),
    ):
        glyph(s, name, bg, draw)
    for i, col in enumerate(STATUS):
        x, y = s.cell("dot%d" % i, 12, 12, WHITE)
        s.canvas.circle(x + 6, y + 6, 5.5, col)
    for name, bg in (("box0", WHITE), ("box1", WHITE)):
        x, y = s.cell(name, 18, 18, bg)
        if name == "box0":
            s.canvas.rrect(x + 1, y + 1, 16, 16, 4, "#B8C0CB")
            s.canvas.rrect(x + 2.6, y + 2.6, 12.8, 12.8, 2.6, WHITE)
        else:
            s.canvas.rrect(x + 1, y + 1, 16, 16, 4, DONE)
            check_mark(s.canvas, x + 2, y + 2, 14, 2.3, WHITE)
    for name, col, bg in (("spin", ACCENT, WHITE), ("spin_bar", WHITE, BAR), ("spin_page", ACCENT, PAGE)):
        for f in range(8):
            glyph(s, "%s%d" % (name, f), bg, spinner_frame(col, bg, f), 20)
    glyph(s, "logo", PAGE, logo(PAGE), 40)
    glyph(s, "logo_card", WHITE, logo(WHITE), 40)
    s.finish(path)
    return s.cells


def edge_pixels(canvas, color):
    """The pixels of a shape drawn over a colour nobody knows in advance (a dimmed page): the
    inside opaque, the edge an even mix with what is below, the rest transparent, so the edge
    steps in halves instead of whole pixels."""
    solid = rgb565(hex_rgb(color)) | 0x0020
    half = wash_pixel(color)
    rows = []
    for line in canvas.px:
        rows.append([solid if a >= 0.75 else half if a >= 0.25 else TRANSPARENT
                     for (_, _, _, a) in line])
    return rows


def draw_wash(path):
    """Shadow-blended pieces: each pixel mixes its colour half and half with what is below.
    The four grouped-row shapes first (20x15 each), then a 4x4 plain wash, then the dialog card
    (21x21) and the menu's sheet (25x13), whose rounded edges are shown over any colour."""
    card_x, sheet_x = 4 * 21 + 5, 4 * 21 + 5 + 22
    width, height = sheet_x + 25, 21
    rows = [[TRANSPARENT] * width for _ in range(height)]
    white = wash_pixel(WHITE)
    line = wash_pixel(LINE)
    for style in range(4):
        c = Canvas(20, 15)
        top = style in (0, 1)
        bottom = style in (0, 3)
        c.rrect(0, 0, 20, 15, 7, WHITE, (top, top, bottom, bottom))
        for y in range(15):
            for x in range(20):
                if c.px[y][x][3] >= 0.5:
                    sep = style in (1, 2) and y == 14 and x >= 12
                    rows[y][style * 21 + x] = line if sep else white
    for y in range(4):
        for x in range(4):
            rows[y][84 + x] = white
    card = Canvas(21, 21)
    card.rrect(0, 0, 21, 21, 10, WHITE)
    sheet = Canvas(25, 13)
    sheet.rrect(0, 0, 25, 13, 12, WHITE, (1, 1, 0, 0))
    for x0, shape in ((card_x, card), (sheet_x, sheet)):
        for y, pixels in enumerate(edge_pixels(shape, WHITE)):
            rows[y][x0:x0 + len(pixels)] = pixels
    write_bmp565(path, rows)
    cells = {"wash_row%d" % i: (i * 21, 0, 20, 15, (12, 7, 7, 7), None) for i in range(4)}
    cells["wash"] = (84, 0, 4, 4, None, None)
    cells["card"] = (card_x, 0, 21, 21, (10, 10, 10, 10), None)
    cells["sheet"] = (sheet_x, 0, 25, 13, (12, 12, 12, 0), None)
    return cells


def draw_all(art_dir):
    os.makedirs(art_dir, exist_ok=True)
    draw_icons(os.path.join(art_dir, "d_icons.png"))
    cells = {}
    for name, cell in draw_ui(os.path.join(art_dir, "d_ui.png")).items():
        cells[name] = ("d_ui",) + cell[:5]
    for name, cell in draw_wash(os.path.join(art_dir, "d_wash.bmp")).items():
        cells[name] = ("d_wash",) + cell[:5]
    return cells
