"""The program's logo, drawn once for the skin bitmap (scripts/hacer-skin) and the desktop icon
(scripts/hacer-icono): a rising bar chart of three white bars over a white baseline, on an amber
tile with rounded corners, on a grid of 48 x 48 units."""

TILE = (2, 2, 46, 46, 9)          # x0, y0, x1, y1, corner radius
INNER = (3.2, 3.2, 44.8, 44.8, 8)  # inside the tile's darker edge
BARS = [(11 + 9 * k, 34 - h, 17 + 9 * k, 38, 1.5) for k, h in enumerate((9, 16, 24))]
BASELINE = (9, 38.5, 39, 40.5)    # x0, y0, x1, y1
AMBER_TOP, AMBER_BOTTOM = (250, 196, 110), (222, 128, 44)
EDGE = (160, 86, 24)
LIGHT = (255, 236, 200)  # a soft light on the upper part of the tile
LIGHT_SHARE, LIGHT_DEPTH = 0.28, 22
WHITE = (255, 255, 255)
BASELINE_COLOUR, BASELINE_SHARE = (255, 248, 236), 0.9


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    inside.box = (x0, y0, x1, y1)
    return inside


def coverage(inside, x, y, s=1.0, n=4):
    """Share of the square of side s at (x, y) inside a shape, sampled n x n."""
    x0, y0, x1, y1 = inside.box
    if x + s < x0 or x > x1 or y + s < y0 or y > y1:
        return 0.0
    hits = 0
    for j in range(n):
        for i in range(n):
            if inside(x + (i + 0.5) * s / n, y + (j + 0.5) * s / n):
                hits += 1
    return hits / (n * n)


tile, inner = rounded(*TILE), rounded(*INNER)
bars = [rounded(*b) for b in BARS]


def pixel(x, y, s=1.0):
    """The logo's colour on the square of side s at (x, y), and how much of the square it covers."""
    a = coverage(tile, x, y, s)
    if a == 0:
        return None, 0.0
    fill = mix(AMBER_TOP, AMBER_BOTTOM, y / 47)
    if y < LIGHT_DEPTH:
        fill = mix(fill, LIGHT, LIGHT_SHARE * (1 - y / LIGHT_DEPTH))
    c = mix(EDGE, fill, coverage(inner, x, y, s))
    c = mix(c, WHITE, max(coverage(b, x, y, s) for b in bars))
    cy = y + s / 2
    if BASELINE[1] <= cy <= BASELINE[3] and BASELINE[0] <= x + s / 2 - 0.5 < BASELINE[2]:
        c = mix(c, BASELINE_COLOUR, BASELINE_SHARE)
    return c, a
