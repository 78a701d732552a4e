"""A tiny anti-aliased rasteriser and PNG/BMP writer for the skin art (standard library only)."""
import math
import struct
import zlib


def hex_rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


class Canvas:
    """Straight RGBA pixels as floats; shapes are composited 'over' with 4x4 supersampling."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, rgb, coverage):
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = self.px[y][x]
        sa = min(1.0, coverage)
        oa = sa + a * (1 - sa)
        if oa <= 0:
            return
        mix = lambda s, d: (s * sa + d * a * (1 - sa)) / oa
        self.px[y][x] = (mix(rgb[0], r), mix(rgb[1], g), mix(rgb[2], b), oa)

    def shape(self, inside, color, box=None):
        """Fills every pixel by the share of its 16 sample points for which inside(x, y) holds."""
        rgb = hex_rgb(color) if isinstance(color, str) else color
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        if inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4):
                            hits += 1
                self.blend(x, y, rgb, hits / 16)

    def rect(self, x, y, w, h, color):
        self.shape(lambda px, py: x <= px < x + w and y <= py < y + h, color, (x, y, x + w, y + h))

    def rrect(self, x, y, w, h, r, color, corners=(1, 1, 1, 1)):
        """Rounded rectangle; corners = (top-left, top-right, bottom-right, bottom-left) rounded."""
        def inside(px, py):
            if not (x <= px < x + w and y <= py < y + h):
                return False
            for i, (cx, cy) in enumerate(((x + r, y + r), (x + w - r, y + r),
                                          (x + w - r, y + h - r), (x + r, y + h - r))):
                if not corners[i]:
                    continue
                dx = px - cx if (i in (1, 2)) else cx - px
                dy = py - cy if (i in (2, 3)) else cy - py
                if dx > 0 and dy > 0 and dx * dx + dy * dy > r * r:
                    return False
            return True
        self.shape(inside, color, (x, y, x + w, y + h))

    def circle(self, cx, cy, r, color):
        self.shape(lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r, color,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def ring(self, cx, cy, r, width, color):
        inner = r - width
        self.shape(lambda px, py: inner * inner <= (px - cx) ** 2 + (py - cy) ** 2 <= r * r, color,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def line(self, points, width, color):
        """A polyline with round joins and caps."""
        half = width / 2

        def near(px, py):
            for (ax, ay), (bx, by) in zip(points, points[1:]):
                vx, vy = bx - ax, by - ay
                length = vx * vx + vy * vy
                t = 0 if length == 0 else max(0, min(1, ((px - ax) * vx + (py - ay) * vy) / length))
                dx, dy = px - (ax + t * vx), py - (ay + t * vy)
                if dx * dx + dy * dy <= half * half:
                    return True
            return False
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(near, color, (min(xs) - half - 1, min(ys) - half - 1,
                                 max(xs) + half + 1, max(ys) + half + 1))

    def polygon(self, points, color):
        def inside(px, py):
            hit = False
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                    hit = not hit
            return hit
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(inside, color, (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1))

    def flatten(self, background, region=None, threshold=0.35):
        """Blends partly covered pixels onto the colour they will be shown on, so edges stay smooth
        although the device keeps only opaque and transparent pixels; faint ones become
        transparent."""
        bg = hex_rgb(background)
        x0, y0, x1, y1 = region if region else (0, 0, self.width, self.height)
        for y in range(y0, y1):
            for x in range(x0, x1):
                r, g, b, a = self.px[y][x]
                if a < threshold:
                    self.px[y][x] = (0.0, 0.0, 0.0, 0.0)
                else:
                    self.px[y][x] = (r * a + bg[0] * (1 - a), g * a + bg[1] * (1 - a),
                                     b * a + bg[2] * (1 - a), 1.0)

    def write_png(self, path):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((round(r), round(g), round(b), 255 if a >= 0.5 else 0))
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                      + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def rgb565(rgb):
    r, g, b = (int(round(c)) for c in rgb)
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)


def wash_pixel(color):
    """The source pixel that the half-shadow blender turns into an even mix of the colour and
    what lies below: half the colour, with the green low bit clear so it counts as shadow."""
    half = (rgb565(hex_rgb(color)) & 0xF7DF) >> 1
    return half & ~0x0020


TRANSPARENT = 0xF81F


def write_bmp565(path, pixels):
    """pixels: rows of 16-bit values, written bottom-up like the device's own writer."""
    height = len(pixels)
    width = len(pixels[0])
    stride = (width * 2 + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for p in row:
            line += struct.pack("<H", p)
        line += bytes(stride - len(line))
        image += line
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", 70 + len(image), 0, 70, 40, width, height,
                                 1, 16, 3, len(image), 2834, 2834, 0, 0)
    header += struct.pack("<IIII", 0xF800, 0x07E0, 0x001F, 0)
    with open(path, "wb") as out:
        out.write(header + image)
