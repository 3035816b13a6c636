#!/usr/bin/env python3
"""trasop-map against an independent computation: small grids with known slopes are written
in each value order, the program is run on them, and its figures (JSON), its class raster and
its figure (decoded with PIL) and its world file (read with GDAL where installed) are checked
against slopes, classes, ties, regions, percentiles and rings computed here with numpy.

    check_map.py TRASOP_MAP WORK [RUNNER...]

Prints "SKIPPED: ..." and ends with 0 where numpy or PIL is missing."""
import json
import math
import os
import re
import shutil
import subprocess
import sys

try:
    import numpy as np
    from PIL import Image
except ImportError as missing:
    print("SKIPPED: %s (packages python3-numpy and python3-pil)" % missing)
    sys.exit(0)

PROGRAM, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
RUNNER = sys.argv[3:]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)
    return condition


def write_dmna(name, heights, delta, sequ, xmin=1000.0, ymin=2000.0, gakrx=0.0, gakry=0.0, form="%.1f"):
    """heights[i, j]; written in the order `sequ` gives (outer index first)."""
    ni, nj = heights.shape
    lines = ["xmin %r" % xmin, "ymin %r" % ymin, "gakrx %r" % gakrx, "gakry %r" % gakry,
             "delta %r" % delta, "sequ %s" % sequ, "lowb 0 0", "hghb %d %d" % (ni - 1, nj - 1), "*"]
    outer, inner = sequ.split(",")
    def steps(index, count):
        return range(count) if index[1] == "+" else range(count - 1, -1, -1)
    counts = {"i": ni, "j": nj}
    for a in steps(outer, counts[outer[0]]):
        row = []
        for b in steps(inner, counts[inner[0]]):
            i, j = (a, b) if outer[0] == "i" else (b, a)
            row.append(form % heights[i, j])
        lines.append(" ".join(row))
    with open(name, "w") as out:
        out.write("\n".join(lines) + "\n")


def slopes_of(heights, delta):
    """The slope of every interior cell, as the program computes it, in float64."""
    k = 1.0 / (2.0 * delta)
    gi = np.abs(heights[:-2, 1:-1] - heights[2:, 1:-1]) * k
    gj = np.abs(heights[1:-1, :-2] - heights[1:-1, 2:]) * k
    return np.maximum(np.maximum(gi, gj), 0.0)


def classes_of(slopes, thresholds):
    classes = np.zeros(slopes.shape, dtype=int)
    for t in thresholds:
        classes += slopes > t
    return classes


def regions_of(mask):
    """8-neighbour regions of a boolean mask: their sizes, largest first."""
    seen = np.zeros(mask.shape, dtype=bool)
    sizes = []
    for start in zip(*np.nonzero(mask)):
        if seen[start]:
            continue
        stack, size = [start], 0
        seen[start] = True
        while stack:
            i, j = stack.pop()
            size += 1
            for di in (-1, 0, 1):
                for dj in (-1, 0, 1):
                    a, b = i + di, j + dj
                    if 0 <= a < mask.shape[0] and 0 <= b < mask.shape[1] and mask[a, b] and not seen[a, b]:
                        seen[a, b] = True
                        stack.append((a, b))
        sizes.append(size)
    return sorted(sizes, reverse=True)


LOCALE = ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")


def run(*args, stdout=subprocess.PIPE, limit=None, locale=None, command=None):
    """The program's status, standard output and standard error; `limit`: its address space;
    `locale`: the locale's variables (English where not given); `command`: instead of the
    program and the arguments."""
    def limited():
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    env = {k: v for k, v in os.environ.items() if k not in LOCALE}
    env.update(locale if locale is not None else {"LANG": "C.UTF-8"})
    done = subprocess.run(command or RUNNER + [PROGRAM] + list(args), cwd=WORK, stdout=stdout, env=env,
                          stderr=subprocess.PIPE, timeout=120, preexec_fn=limited if limit else None)
    # A Windows program's text has CR LF line ends.
    return (done.returncode,
            done.stdout.decode("utf-8", "surrogateescape").replace("\r\n", "\n") if done.stdout else "",
            done.stderr.decode("utf-8", "surrogateescape").replace("\r\n", "\n"))


# The classes' colours, the flattest first, for one to four thresholds.
COLOURS = [(0xE0, 0xE0, 0xE0), (0xDD, 0xAA, 0x33), (0xBB, 0x55, 0x66), (0x00, 0x44, 0x88), (0, 0, 0)]


def class_colours(count):
    return [COLOURS[0], COLOURS[2]] if count == 1 else COLOURS[:count + 1]


def map_pixels(name, facts):
    left, top, right, bottom = facts["map"]
    return np.array(Image.open(os.path.join(WORK, name)).convert("RGB"))[top:bottom, left:right].astype(int)


def lightness(rgb):
    """CIE L* of sRGB colours (the last axis red, green, blue)."""
    c = np.asarray(rgb, dtype=float) / 255.0
    linear = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    y = linear @ np.array([0.2126, 0.7152, 0.0722])
    return np.where(y > 216 / 24389, 116 * np.cbrt(y) - 16, y * 24389 / 27)


def map_classes(name, facts, count):
    """The class each pixel of the figure's map shows, recovered by its nearest class colour
    under the shading: -1 for the light greys outside the area, -2 for a pixel near no class
    colour (a mark or symbol drawn over it)."""
    pixels = map_pixels(name, facts)
    palette = np.array(class_colours(count))
    distance = ((pixels[:, :, None, :] - palette[None, None, :, :]) ** 2).sum(axis=3)
    nearest = distance.argmin(axis=2)
    nearest[distance.min(axis=2) > 3 * 24 ** 2] = -2
    grey = (pixels.max(axis=2) - pixels.min(axis=2) <= 1) & (pixels.min(axis=2) >= 229)
    nearest[grey] = -1
    return nearest


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
random = np.random.default_rng(20261208)
delta = 20.0
thresholds = [0.05, 0.2]

# Heights in half metres, whose differences are exact: 2.0 m over 40 m gives a slope of exactly
# 0.05, 8.0 m exactly 0.2 (ties, which are not steeper).
ni, nj = 41, 29
heights = random.integers(0, 8, size=(ni, nj)) * 0.5
heights[10:14, 5:9] += np.array([[0, 2, 8, 0], [2, 0, 0, 8], [8, 0, 2, 0], [0, 8, 0, 2]])
heights[30, 20] += 40.0  # a steep spike: its four neighbours steeper than 1:5
slopes = slopes_of(heights, delta)
classes = classes_of(slopes, thresholds)

# 1. The four orders of values give the same figures, north up.
reference = None
for sequ in ("j-,i+", "j+,i+", "i+,j+", "i-,j-"):
    write_dmna(os.path.join(WORK, "g.dmna"), heights, delta, sequ)
    status, out, err = run("--json", "--gis", "--contours=none", "g.dmna")
    check(status == 0 and err == "", "%s: status %d, stderr %r" % (sequ, status, err))
    report = json.loads(out)
    raster = np.array(Image.open(os.path.join(WORK, "g_classes.png")))
    # Row 0 is the northernmost interior row (j = nj - 2), column 0 is i = 1.
    check(raster.shape == (nj - 2, ni - 2), "%s: raster size %s" % (sequ, raster.shape))
    check((raster == classes.T[::-1, :]).all(), "%s: a raster pixel differs from its cell's class" % sequ)
    zoom = report["figure"]["zoom"]
    shown = map_classes("g_map.png", report["figure"], 2)[zoom // 2::zoom, zoom // 2::zoom]
    check(shown.shape == classes.T.shape and ((shown == classes.T[::-1, :]) | (shown == -2)).all() and
          (shown == -2).sum() <= 2, "%s: a map pixel differs from its cell's class" % sequ)
    # The hillshade moves each class's lightness by at most 7 L*.
    shades = map_pixels("g_map.png", report["figure"])
    found = map_classes("g_map.png", report["figure"], 2)
    # (less the steepest cell's triangle, whose edges are blended into the classes)
    ty, tx = (nj - 2 - report["max_slope"]["j"] + 0.5) * zoom, (report["max_slope"]["i"] - 0.5) * zoom
    yy, xx = np.mgrid[0:found.shape[0], 0:found.shape[1]]
    found[(yy - ty) ** 2 + (xx - tx) ** 2 < 40 ** 2] = -2
    moved = [np.abs(lightness(shades[found == c]) - lightness(np.array([class_colours(2)[c]]))).max()
             for c in range(3) if (found == c).any()]
    check(max(moved) <= 7.0 and max(moved) > 0.5, "%s: the shading moves a class by %.2f L*" % (sequ, max(moved)))
    del report["figure"]
    if reference is None:
        reference = report
    check(report == reference, "%s: figures differ from those of j-,i+" % sequ)

# 2. The figures against numpy.
report = reference
cells = slopes.size
check(report["cells"] == cells, "cells %d" % report["cells"])
for t, entry in zip(thresholds, report["thresholds"]):
    check(entry["cells"] == int((slopes > t).sum()), "cells steeper than %g" % t)
    check(entry["at_threshold"] == int((slopes == t).sum()), "ties at %g" % t)
    check(abs(entry["percent"] - 100.0 * (slopes > t).sum() / cells) < 1e-9, "percent at %g" % t)
    sizes = regions_of(slopes > t)
    regions = entry["regions"]
    check(regions["count"] == len(sizes), "regions above %g: %d, expected %d" % (t, regions["count"], len(sizes)))
    check(regions["single_cell"] == sizes.count(1), "single-cell regions above %g" % t)
    check([r["cells"] for r in regions["largest"]] == sizes[:3], "largest regions above %g" % t)
check(int((slopes == 0.05).sum()) > 0 and int((slopes == 0.2).sum()) > 0, "the grid has no ties")
check(report["max_slope"]["value"] == slopes.max(), "max slope")
check(report["max_slope"]["cells"] == int((slopes == slopes.max()).sum()), "cells at the max")
ordered = np.sort(slopes.ravel())
for p in (50, 90, 95, 99):
    rank = math.ceil(p * cells / 100)
    check(report["percentiles"][str(p)] == ordered[rank - 1], "percentile %d" % p)
check([c["cells"] for c in report["classes"]] == [int((classes == k).sum()) for k in range(3)], "classes")
# One to four thresholds: each class and each tie counted.
for given in ([0.05], [0.05, 0.2], [0.025, 0.05, 0.2], [0.025, 0.05, 0.1, 0.2]):
    status, out, err = run("--json", "--thresholds=" + ",".join(map(repr, given)), "g.dmna")
    got = json.loads(out) if status == 0 else {"classes": [], "thresholds": []}
    want = classes_of(slopes, given)
    check([c["cells"] for c in got["classes"]] == [int((want == k).sum()) for k in range(len(given) + 1)] and
          [t["at_threshold"] for t in got["thresholds"]] == [int((slopes == t).sum()) for t in given],
          "%d thresholds: classes or ties" % len(given))

# 3. The computational area: the figures kept to the circle, and its rings.
cx, cy, radius = 1000.0 + 20 * delta, 2000.0 + 14 * delta, 9 * delta
status, out, err = run("--json", "--gis", "--centre=%r,%r" % (cx, cy), "--radius", repr(radius), "g.dmna")
check(status == 0, "circle: status %d %s" % (status, err))
inside = np.zeros(slopes.shape, dtype=bool)
xs = 1000.0 + np.arange(1, ni - 1) * delta
ys = 2000.0 + np.arange(1, nj - 1) * delta
dx = xs[:, None] - cx
dy = ys[None, :] - cy
inside = dx * dx + dy * dy <= radius * radius
circle = json.loads(out)
check(circle["cells"] == int(inside.sum()), "circle: cells %d, expected %d" % (circle["cells"], inside.sum()))
check(circle["area"].get("share_inside") == 1.0 and err == "", "circle inside: share %r, %r" % (circle["area"], err))
points = heights[1:-1, 1:-1][inside]
check((circle["height_min"], circle["height_max"]) == (points.min(), points.max()), "circle: heights of its points")
check(circle["thresholds"][0]["cells"] == int((slopes[inside] > 0.05).sum()), "circle: steeper than 1:20")
distance = np.sqrt(dx * dx + dy * dy)
bounds = [radius * k / 4 for k in range(5)]
for r, ring in enumerate(circle["rings"]):
    within = inside & (distance <= bounds[r + 1]) & ((distance > bounds[r]) if r > 0 else True)
    check(ring["cells"] == int(within.sum()), "ring %d: cells" % r)
raster = np.array(Image.open(os.path.join(WORK, "g_classes.png")))
check(((raster == 3) == ~inside.T[::-1, :]).all(), "circle: the raster's outside cells")

# 4. Given thresholds, and a reduced map that keeps each block's steepest class.
big_n = 300
big = np.round(random.integers(0, 30, size=(big_n, big_n)) * 0.1, 1)
big[::37, ::41] += 40.0  # slopes of 1.0: the steepest class, cells far apart
write_dmna(os.path.join(WORK, "big.dmna"), big, delta, "j-,i+")
status, out, err = run("--width=5cm", "--dpi=72", "--contours=none", "--thresholds=0.1,1:4,0.9", "--json", "big.dmna")
check(status == 0, "reduced: status %d %s" % (status, err))
big_classes = classes_of(slopes_of(big, delta), [0.1, 0.25, 0.9])
check(json.loads(out)["classes"][3]["cells"] == int((big_classes == 3).sum()), "given thresholds: classes")
facts = json.loads(out)["figure"]
figure = map_classes("big_map.png", facts, 3)
block, reach = facts["block"], facts["mark_reach"]
check(block > 1 and reach >= 1, "reduced: block %d, reach %d" % (block, reach))
north_up = big_classes.T[::-1, :]
top = 3  # the steepest of the three thresholds' classes
shows = np.zeros(figure.shape, dtype=bool)  # pixels that show the steepest class, or its mark
wrong = 0
for y in range(figure.shape[0]):
    for x in range(figure.shape[1]):
        cells = north_up[y * block:(y + 1) * block, x * block:(x + 1) * block]
        counts = np.bincount(cells.ravel(), minlength=4)
        majority = max(range(4), key=lambda k: (counts[k], k))  # a tie goes to the steeper
        shown = int(figure[y, x])
        shows[y, x] = shown == top
        if shown < 0:  # the symbols of the steepest cell and the area
            continue
        # A pixel shows its block's majority, or the mark of a steepest cell within reach.
        if shown != majority and not (shown == top and (north_up[max(0, y - reach) * block:(y + reach + 1) * block,
                                                                max(0, x - reach) * block:(x + reach + 1) * block] == top).any()):
            wrong += 1
check(wrong == 0, "reduced map: %d pixels show neither their block's majority nor a mark" % wrong)
hidden = 0
steepest = json.loads(out)["max_slope"]  # its triangle may cover marks near it
sy, sx = (big_n - 2 - steepest["j"]) // block, (steepest["i"] - 1) // block
for y, x in zip(*np.nonzero(north_up == top)):
    py, px = y // block, x // block
    hidden += (py - sy) ** 2 + (px - sx) ** 2 > 64 and not shows[max(0, py - reach):py + reach + 1, max(0, px - reach):px + reach + 1].any()
check(hidden == 0 and (north_up == top).any(), "reduced map: %d cells of the steepest class hidden" % hidden)

# A map so wide that the scale bar must be shorter than a quarter of it.
status, out, err = run("--width=60cm", "--dpi=72", "big.dmna")
check(status == 0, "wide map: status %d %s" % (status, err))

# Percentiles where the slopes take many values (each kept) and where they take one.
# Beyond 65536 slopes in one bin they are split further: a large flat grid, and an incline in
# millimetres whose slopes all lie in one bin and take many values.
incline = 100.0 + np.arange(400)[:, None] * 1.0 + random.integers(0, 1000, size=(400, 300)) / 1000.0
for name, grid in (("many", random.integers(0, 30000, size=(200, 200)) / 10.0), ("flat", np.full((60, 50), 7.5)),
                   ("large_flat", np.full((300, 300), 7.5)), ("incline", incline)):
    write_dmna(os.path.join(WORK, name + ".dmna"), grid, delta, "j-,i+", form="%.3f")
    status, out, err = run("--json", name + ".dmna")
    ordered = np.sort(slopes_of(np.vectorize(lambda v: float("%.3f" % v))(grid), delta).ravel())
    got = json.loads(out)["percentiles"] if status == 0 else {}
    check([got.get(str(p)) for p in (50, 90, 95, 99)] ==
          [ordered[math.ceil(p * ordered.size / 100) - 1] for p in (50, 90, 95, 99)],
          "%s: percentiles %s" % (name, got))

# 5. The world file: a known cell's centre lies in that cell's pixel.
write_dmna(os.path.join(WORK, "w.dmna"), heights, delta, "j-,i+", gakrx=3500000.0, gakry=5400000.0)
status, out, err = run("--gis", "--json", "w.dmna")
world = [float(v) for v in open(os.path.join(WORK, "w_classes.pgw")).read().split()]
check(world == [delta, 0.0, 0.0, -delta, 3500000.0 + 1000.0 + delta, 5400000.0 + 2000.0 + (nj - 2) * delta],
      "world file %s" % world)
if shutil.which("gdallocationinfo"):
    for i, j in ((1, 1), (12, 7), (ni - 2, nj - 2), (30, 19)):
        x = 3500000.0 + 1000.0 + i * delta
        y = 5400000.0 + 2000.0 + j * delta
        done = subprocess.run(["gdallocationinfo", "-valonly", "-geoloc", "w_classes.png", repr(x), repr(y)],
                              cwd=WORK, capture_output=True, text=True)
        check(done.stdout.strip() == str(classes[i - 1, j - 1]),
              "GDAL: cell %d,%d reads %r, its class is %d" % (i, j, done.stdout.strip(), classes[i - 1, j - 1]))
else:
    print("GDAL's gdallocationinfo is not installed (gdal-bin): the world file was read here only")

# 6. Faults: a status, a message naming the file on standard error, nothing on standard output,
# nothing left behind.
before = set(os.listdir(WORK))
for args, want, says in ((["missing.dmna"], 3, "missing.dmna: cannot be read"),
                         (["--thresholds=1:5,1:20", "g.dmna"], 2, "invalid thresholds"),
                         (["--thresholds=0,0.2", "g.dmna"], 2, "invalid thresholds"),
                         (["--thresholds=0.1,0.2,0.3,0.4,0.5", "g.dmna"], 2, "invalid thresholds"),
                         (["--size", "100", "g.dmna"], 2, "option '--size' is gone"),
                         (["--width=16", "g.dmna"], 2, "invalid width '16'"),
                         (["--width=4cm", "g.dmna"], 2, "invalid width"),
                         (["--dpi=71", "g.dmna"], 2, "invalid resolution"),
                         (["--width=60cm", "--dpi=1200", "g.dmna"], 2, "wider than 12000 pixels"),
                         (["--bogus", "g.dmna"], 2, "unrecognized option '--bogus'"),
                         (["--radius=5", "g.dmna"], 2, "--centre and --radius go together"),
                         ([], 2, "missing file operand")):
    status, out, err = run(*args)
    check(status == want and says in err and err.startswith("trasop-map: ") and out == "",
          "%s: status %d, stderr %r" % (args, status, err))
os.mkdir(os.path.join(WORK, "f_map.png"))
shutil.copy(os.path.join(WORK, "g.dmna"), os.path.join(WORK, "f.dmna"))
status, out, err = run("f.dmna")
check(status == 4 and "f_map.png: cannot be written" in err and out == "", "unwritable: %d %r" % (status, err))
left = set(os.listdir(WORK)) - before - {"f_map.png", "f.dmna"}
check(not left, "left behind: %s" % left)
status, out, err = run("--help")
check(status == 0 and out.startswith("Usage: trasop-map") and err == "", "--help")


# 7. Faults found in review, a row each: files made for it, the arguments, the status wanted, and
# what else must hold of the run (status, standard output, standard error).
def has_bar(name):
    """The scale bar: a black run of 20 pixels or more, the same in six rows one below the other."""
    def runs(row):
        black = np.flatnonzero(row == 0)
        return {(int(r[0]), len(r)) for r in np.split(black, np.flatnonzero(np.diff(black) != 1) + 1)
                if len(r) >= 20}
    rows = [runs(row) for row in np.array(Image.open(os.path.join(WORK, name)).convert("L"))]
    return any(rows[y] & rows[y + 1] & rows[y + 2] & rows[y + 3] & rows[y + 4] & rows[y + 5]
               for y in range(len(rows) - 5))


def crossed(name, facts):
    """A huge circle's edge: a dark line across the map, none across the figure outside it."""
    left, top, right, bottom = facts["map"]
    dark = np.array(Image.open(os.path.join(WORK, name)).convert("L")) < 60
    inside = dark[top:bottom, left:right].sum(axis=1) > 0.9 * (right - left)
    outside = np.concatenate([dark[:top - 4], dark[bottom + 4:]]).sum(axis=1) > 0.9 * (right - left)
    return bool(inside.any() and not outside.any())


def share_by_sampling(cx, cy, r, x0, x1, y0, y1, n=2000):
    u = (np.arange(n) + 0.5) / n * 2 * r - r
    x, y = np.meshgrid(cx + u, cy + u)
    disc = (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return float((disc & (x >= x0) & (x <= x1) & (y >= y0) & (y <= y1)).sum() / disc.sum())


def small(name, header, values="1 2 3 4 5 6 7 8 9"):
    with open(os.path.join(WORK, name), "wb") as out:
        out.write((header + '\nsequ "i+,j+"\nlowb 0 0\nhghb 2 2\n*\n' + values + "\n").encode())


def files_of(prefix):
    return {n: open(os.path.join(WORK, n), "rb").read() for n in os.listdir(WORK)
            if n.startswith(prefix) and os.path.isfile(os.path.join(WORK, n))}


write_dmna(os.path.join(WORK, "narrow.dmna"), random.integers(0, 8, size=(3, 40)) * 0.5, delta, "j-,i+")
long_folder = os.path.join(WORK, "d" * 200, "e" * 200, "f" * 200)
os.makedirs(long_folder)
shutil.copy(os.path.join(WORK, "w.dmna"), long_folder)
os.mkdir(os.path.join(WORK, "outdir"))
for name in ("a.dmna", "g_s.dmna", "self_map.png", "h\u00f6he.dmna", "back\\slash.dmna", "esc\x1bape.dmna"):
    shutil.copy(os.path.join(WORK, "g.dmna"), os.path.join(WORK, name))
shutil.copy(os.path.join(WORK, "g.dmna"), os.path.join(WORK.encode(), b"h\xf6he.dmna"))
small("far.dmna", "xmin 1e16\ndelta 1")
small("infinite.dmna", "xmin 1e400\ndelta 1")
small("tiny.dmna", "xmin 3500000\ndelta 1e-10")
run("--gis", "a.dmna")
old_a = files_of("a_")
write_dmna(os.path.join(WORK, "a.dmna"), heights + 100.0, delta, "j-,i+")
# The grid w: gakrx 3500000, xmin 1000; interior points at x 3501020 to 3501780.
gx, gy = 1000.0 + 20 * delta, 2000.0 + 14 * delta
corner_x, corner_y = 3500000.0 + 1000.0 + 0.5 * delta, 5400000.0 + 2000.0 + 0.5 * delta
steep = json.loads(run("--json", "w.dmna")[1])["max_slope"]
instrumented = RUNNER or b"__asan_init" in open(PROGRAM, "rb").read()
rows = [
    ("coordinates far from the origin", [], ["far.dmna"], 0, lambda o, e: "steepest" in o),
    ("coordinates not finite", [], ["infinite.dmna"], 0, lambda o, e: "steepest" in o),
    ("delta far below the coordinates' precision", [], ["tiny.dmna"], 0, lambda o, e: "steepest" in o),
    ("a circle whose area overflows", [], ["--centre=%r,%r" % (gx, gy), "-r", "1e300", "-j", "w.dmna"], 0,
     lambda o, e: json.loads(o)["area"]["share_inside"] == 0.0 and json.loads(o)["rings"][0]["inner"] == 0.0 and
     json.loads(o)["rings"][3]["outer"] == 1e300),
    ("a stack whose area would overflow", [], ["--source=%d,%d,1e307" % (gx + 3500000, gy + 5400000), "w.dmna"], 2,
     lambda o, e: "invalid source" in e and o == ""),
    ("a source beside the grid", [], ["--source=%d,%d,10" % (gx + 3500000, gy + 5400000 - 1000), "w.dmna"], 2,
     lambda o, e: "--source=%d,%d,10: the source lies outside the grid" % (gx + 3500000, gy + 5400000 - 1000) in e),
    ("an area beside the grid", [], ["--centre=%r,%r" % (gx, gy), "-r", "100", "w.dmna"], 2,
     lambda o, e: "holds no interior cell" in e and "x 3501010 to 3501790" in e and "absolute" in e and o == ""),
    ("the same area, relative", [], ["--relative", "--centre=%r,%r" % (gx, gy), "-r", "100", "-j", "w.dmna"], 0,
     lambda o, e: json.loads(o)["frame"] == "relative" and
     json.loads(o)["max_slope"]["x"] == 1000.0 + json.loads(o)["max_slope"]["i"] * delta),
    ("absolute by default", [], ["-j", "w.dmna"], 0,
     lambda o, e: json.loads(o)["frame"] == "absolute" and steep["x"] == steep["x_absolute"] and "3501" in repr(steep["x"])),
    ("a circle across the grid's corner", [], ["--centre=%r,%r" % (corner_x, corner_y), "-r", "200", "-j", "w.dmna"], 0,
     lambda o, e: "reaches beyond the grid" in e and abs(json.loads(o)["area"]["share_inside"] - share_by_sampling(
         corner_x, corner_y, 200.0, corner_x, corner_x + (ni - 2) * delta, corner_y, corner_y + (nj - 2) * delta)) < 2e-3
     and abs(json.loads(o)["area"]["share_inside"] - 0.25) < 2e-3),
    ("trasop's slope file as input", [], ["g_s.dmna"], 0, lambda o, e: "looks like a slope file" in e),
    ("an output that cannot be written", ["a"], ["--gis", "a.dmna"], 4,
     lambda o, e: o == "" and "a_classes.pgw: cannot be written" in e and len(old_a) == 3 and
     files_of("a_") == {k: v for k, v in old_a.items() if not k.endswith(".pgw")}),
    ("a name that is no UTF-8", [], ["-j", "h\udcf6he.dmna"], 0,
     lambda o, e: o.encode("utf-8", "surrogateescape").decode("utf-8") == o and
     os.fsencode(json.loads(o)["file"]) == b"h\xf6he.dmna"),
    ("its title as Latin-1", ["h\u00f6he"], ["h\udcf6he.dmna"], 0,
     lambda o, e: (np.array(Image.open(os.path.join(WORK.encode(), b"h\xf6he_map.png"))) ==
                   np.array(Image.open(os.path.join(WORK, "h\u00f6he_map.png")))).all()),
    ("a backslash in a name", [], ["-j", "back\\slash.dmna"], 0,
     lambda o, e: any(t["text"].startswith("back\\slash.dmna: 41") for t in json.loads(o)["figure"]["texts"])),
    ("a control character in a name", [], ["esc\x1bape.dmna"], 0,
     lambda o, e: "\x1b" not in o and o.startswith("file         'esc\\033ape.dmna'\n")),
    ("a long path, long coordinates", [], ["--centre=3501180.1,5402100", "-r", "3000", os.path.join(long_folder, "w.dmna")], 0,
     lambda o, e: "\ngrid         41 x 29" in o and "around x 3501180.1, y 5402100:" in o),
    ("a single interior cell", [], ["far.dmna"], 0, lambda o, e: "interior     1 cell," in o),
    ("a scale bar for a grid one cell wide", [], ["narrow.dmna"], 0, lambda o, e: has_bar("narrow_map.png")),
    ("outputs into a folder", [], ["--gis", "-o", "outdir", "g.dmna"], 0,
     lambda o, e: "\noutputs      outdir/g_classes.png, outdir/g_classes.pgw, outdir/g_map.png\n" in o and
     len(files_of("outdir/g_")) == 0 and sorted(os.listdir(os.path.join(WORK, "outdir"))) == [
         "g_classes.pgw", "g_classes.png", "g_map.png"]),
    ("outputs under a stem", [], ["-j", "-o", "outdir/valley", "g.dmna"], 0,
     lambda o, e: json.loads(o)["outputs"] == ["outdir/valley_map.png"] and
     os.path.isfile(os.path.join(WORK, "outdir", "valley_map.png"))),
    ("outputs into a missing folder", [], ["-o", "nowhere/", "g.dmna"], 4,
     lambda o, e: "nowhere/g_map.png: cannot be written" in e and o == ""),
    ("an output that is the input", [], ["-o", "self", "self_map.png"], 2,
     lambda o, e: "would replace the input" in e and o == ""),
    ("a circle of a billion metres across the map", [], ["-j", "--centre=%r,%r" % (gx + 3500000.0, gy + 5400000.0 - 1e9), "-r", "1e9", "w.dmna"], 0,
     lambda o, e: crossed("w_map.png", json.loads(o)["figure"])),
]
# Names that a Windows program under Wine cannot be given as they are (bytes that are no name
# in its code page, control characters, a backslash, a path beyond 260 characters).
posix_names = {"a name that is no UTF-8", "its title as Latin-1", "a backslash in a name",
               "a control character in a name", "a long path, long coordinates"}
on_wine = any("wine" in os.path.basename(part) for part in RUNNER)
for what, prepare, args, want, holds in rows:
    if on_wine and what in posix_names:
        continue
    for stem in prepare:
        if stem == "a":  # its world file made unwritable: a folder in its place
            os.remove(os.path.join(WORK, "a_classes.pgw"))
            os.mkdir(os.path.join(WORK, "a_classes.pgw"))
        else:  # a figure to compare with
            run(stem + ".dmna")
    try:
        status, out, err = run(*args)
        ok = status == want and holds(out, err)
    except Exception as error:  # a hang, unreadable output
        status, out, err, ok = None, "", repr(error), False
    check(ok, "%s: status %r (wanted %d), stderr %r" % (what, status, want, err[:300]))
# Standard output that cannot take the figures: 4, and no output replaced.
os.rmdir(os.path.join(WORK, "a_classes.pgw"))
with open("/dev/full", "w") as full:
    status, out, err = run("--gis", "a.dmna", stdout=full)
check(status == 4 and "standard output" in err and files_of("a_") == {
    k: v for k, v in old_a.items() if not k.endswith(".pgw")}, "standard output full: %r %r" % (status, err))
# No memory for the figure: 8 (a run under a checker has memory of its own).
if not instrumented:
    status, out, err = run("--width=35cm", "--dpi=850", "g.dmna", limit=200 << 20)
    check(status == 8 and "not enough memory" in err, "no memory for the figure: %r %r" % (status, err))


# 8. The layout for print: the figure's width from --width and --dpi, every text inside it and
# clear of every other text and of the map, at 8, 16 and 30 cm, for a tiny, a tall and a large
# grid; tick labels set at 8 pt are as high as the font's digits at that size.
def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


x, y = np.meshgrid(np.arange(60) * 1.0, np.arange(600) * 1.0, indexing="ij")
write_dmna(os.path.join(WORK, "tall.dmna"), np.round(100 + 20 * np.sin(x / 9) + y / 7, 1), 10.0, "j-,i+",
           gakrx=3500000.0, gakry=5400000.0)
write_dmna(os.path.join(WORK, "tiny.dmna"), np.arange(25.0).reshape(5, 5), 20.0, "j-,i+")
large_n = 1000 if RUNNER else 3000
x, y = np.meshgrid(np.arange(large_n) * 1.0, np.arange(large_n) * 1.0, indexing="ij")
write_dmna(os.path.join(WORK, "large.dmna"), np.round(300 + 80 * np.sin(x / 150) * np.cos(y / 210) + x / 40, 1),
           10.0, "j-,i+")
for grid in ("tiny", "tall", "large"):
    for cm in (8, 16, 30):
        status, out, err = run("-j", "--width=%dcm" % cm, "--title=%s at %d cm" % (grid, cm), grid + ".dmna")
        if not check(status == 0, "%s at %d cm: status %d %s" % (grid, cm, status, err)):
            continue
        facts = json.loads(out)["figure"]
        image = Image.open(os.path.join(WORK, grid + "_map.png"))
        if grid == "large" and cm == 16:
            # Area-true: each class's share of the map's pixels (lines and marks aside) within
            # three points of its share of the cells.
            shown = map_classes(grid + "_map.png", facts, 2)
            pixel_share = [100.0 * (shown == c).sum() / (shown >= 0).sum() for c in range(3)]
            cell_share = [c["percent"] for c in json.loads(out)["classes"]]
            check(max(abs(a - b) for a, b in zip(pixel_share, cell_share)) <= 3.0,
                  "large: classes' shares of the map %s, of the cells %s" % (pixel_share, cell_share))
        width, height = facts["width"], facts["height"]
        check(image.size == (width, height) and width == round(cm / 2.54 * 300) and max(width, height) <= 12000,
              "%s at %d cm: figure %s, facts %dx%d" % (grid, cm, image.size, width, height))
        boxes = [(t["text"], t["box"]) for t in facts["texts"] if not t.get("on_map")]
        outside = [t for t, b in boxes if b[0] < 0 or b[1] < 0 or b[2] > width or b[3] > height]
        clashes = [(t, u) for k, (t, b) in enumerate(boxes) for u, c in boxes[k + 1:] if overlap(b, c)]
        on_map = [t for t, b in boxes if overlap(b, facts["map"])]
        check(not outside and not clashes and not on_map,
              "%s at %d cm: texts outside %s, overlapping %s, on the map %s" % (grid, cm, outside, clashes[:3], on_map))
        labels = [t for t in facts["texts"] if re.fullmatch(r"[0-9.]+", t["text"]) and not t.get("on_map")]
        check(len([t for t in labels if t["box"][1] > facts["map"][3]]) >= 1 and
              len([t for t in labels if t["box"][2] < facts["map"][0]]) >= 2,
              "%s at %d cm: x and y tick labels %s" % (grid, cm, [t["text"] for t in labels]))
        if labels:
            # The digits' ink: 0.729 em of DejaVu Sans, 8 pt at 300 dpi.
            l, t, r, b = labels[0]["box"]
            ink = np.flatnonzero((np.array(image.convert("L"))[t:b, l:r] < 128).any(axis=1))
            check(abs(len(ink) - 0.729 * 8 / 72 * 300) <= 2, "%s at %d cm: tick label %d pixels high" % (grid, cm, len(ink)))
check(not [n for n in os.listdir(WORK) if n.endswith(".tmp")], "temporary files left")

# 10. Contours: a plane rising 0.05 along x gives straight lines across the map at every
# multiple of the round step (2 m for its 29 m), one step apart; a flat grid none; a rough one
# (0 and 0.1 m alternating, a line round every point) none, the legend saying why.
x = np.arange(60) * 1.0
write_dmna(os.path.join(WORK, "plane.dmna"), np.repeat((100.0 + 0.5 * x)[:, None], 40, axis=1), 10.0, "j-,i+")
write_dmna(os.path.join(WORK, "level.dmna"), np.full((60, 40), 7.5), 10.0, "j-,i+")
write_dmna(os.path.join(WORK, "rough.dmna"), (np.indices((300, 300)).sum(axis=0) % 2) * 0.1, 10.0, "j-,i+")
for name, levels in (("plane", list(range(102, 130, 2))), ("level", []), ("rough", [])):
    facts = json.loads(run("-j", name + ".dmna")[1])["figure"]
    texts = [t["text"] for t in facts["texts"]]
    check(("no contour lines: too dense at this scale" in texts) == (name == "rough"), "%s: %s" % (name, texts))
    check(facts["contours"] == levels and facts["contour_step"] == (2 if levels else 0),
          "%s: contours %s every %s" % (name, facts["contours"], facts["contour_step"]))
    pixels = map_pixels(name + "_map.png", facts)
    brown = (pixels[:, :, 0] - pixels[:, :, 2] >= 15).mean(axis=0) > 0.8  # columns a line runs down
    zoom = facts["zoom"]
    expected = [round(((level - 100.5) / 0.5 + 0.5) * zoom) for level in levels]
    found = [c for c in np.flatnonzero(brown) if not brown[c - 1]] if brown.any() else []
    check(len(found) == len(expected) and all(abs(f - e) <= 3 for f, e in zip(found, expected)),
          "%s: contour lines at columns %s, expected %s" % (name, found, expected))

# 11. A source: slopes over 2 H in trasop's arithmetic against numpy, on a real-looking terrain
# with H not a multiple of delta (and H at most delta: the grid's own), the ground height
# bilinear, the cells beyond 0.7 H, the cells whose baseline leaves the grid left out.
def over_baseline(h, delta, stack, along=None):
    """Slopes over 2 H of every cell, NaN where the baseline leaves the grid; with `along`, an
    array that takes each cell's gradient along i and along j."""
    ni, nj = h.shape
    out = np.full((ni, nj), np.nan)
    if stack <= delta:
        out[1:-1, 1:-1] = slopes_of(h, delta)
        if along is not None:
            along[1:-1, 1:-1, 0] = np.abs(h[:-2, 1:-1] - h[2:, 1:-1]) * (1.0 / (2.0 * delta))
            along[1:-1, 1:-1, 1] = np.abs(h[1:-1, :-2] - h[1:-1, 2:]) * (1.0 / (2.0 * delta))
        return out
    r = stack / delta
    m = math.floor(r)
    f = r - m
    k = 1.0 / (2.0 * stack)
    reach = m + 1 if f > 0 else m
    for i in range(max(reach, 1), min(ni - 1 - reach, ni - 2) + 1):
        for j in range(max(reach, 1), min(nj - 1 - reach, nj - 2) + 1):
            if f > 0:
                gi = abs((h[i + m, j] + f * (h[i + m + 1, j] - h[i + m, j])) - (h[i - m, j] - f * (h[i - m, j] - h[i - m - 1, j]))) * k
                gj = abs((h[i, j + m] + f * (h[i, j + m + 1] - h[i, j + m])) - (h[i, j - m] - f * (h[i, j - m] - h[i, j - m - 1]))) * k
            else:
                gi = abs(h[i + m, j] - h[i - m, j]) * k
                gj = abs(h[i, j + m] - h[i, j - m]) * k
            out[i, j] = max(gi, gj)
            if along is not None:
                along[i, j] = gi, gj
    return out


terrain = np.round(300 + 40 * np.sin(np.arange(90)[:, None] / 7.0) * np.cos(np.arange(70)[None, :] / 9.0)
                   + random.integers(0, 10, size=(90, 70)) * 0.1, 1)
write_dmna(os.path.join(WORK, "source.dmna"), terrain, 10.0, "j-,i+")
x = 1000.0 + np.arange(90)[:, None] * 10.0
y = 2000.0 + np.arange(70)[None, :] * 10.0
grid_classes = classes_of(slopes_of(terrain, 10.0), [0.05, 0.2])
sources = ((1450.0, 2350.0, 23.7), (1450.0, 2350.0, 6.0), (1050.0, 2300.0, 40.0))
# Each source judged on its own in one run; the class raster of several sources is the grid's.
status, out, err = run("-j", "--gis", "-r", "250", *["--source=%r,%r,%r" % s for s in sources], "source.dmna")
check(status == 0, "three sources: status %d %s" % (status, err))
judged = json.loads(out)["sources"] if status == 0 else []
raster = np.array(Image.open(os.path.join(WORK, "source_classes.png"))) if status == 0 else None
check(status == 0 and (raster == grid_classes.T[::-1, :]).all(), "three sources: the raster is not the grid's classes")
for (sx, sy, stack), got in zip(sources, judged):
    inside = ((x - sx) ** 2 + (y - sy) ** 2 <= 250.0 ** 2)
    inside[[0, -1], :] = False
    inside[:, [0, -1]] = False
    gradients = np.zeros(terrain.shape + (2,))
    slope = over_baseline(terrain, 10.0, stack, gradients)
    assessed = inside & ~np.isnan(slope)
    steepest = np.nanmax(np.where(assessed, slope, np.nan))
    at = np.argwhere(assessed & (slope == steepest))[0]
    gi, gj = gradients[at[0], at[1]]
    u, v = (sx - 1000.0) / 10.0, (sy - 2000.0) / 10.0
    i, j = int(u), int(v)
    a, b = u - i, v - j
    south = terrain[i, j] + a * (terrain[i + 1, j] - terrain[i, j]) if a else terrain[i, j]
    north = terrain[i, j + 1] + a * (terrain[i + 1, j + 1] - terrain[i, j + 1]) if a else terrain[i, j + 1]
    ground = south + b * (north - south) if b else south
    check(got["ground_height"] == ground and got["cells"] == int(inside.sum()) and
          got["assessed"] == int(assessed.sum()) and got["left_out"] == int((inside & np.isnan(slope)).sum()) and
          got["height_differences"]["beyond"] == int((inside & (np.abs(terrain - ground) > 0.7 * stack)).sum()) and
          got["steeper_over_baseline"]["1:20"] == int((assessed & (slope > 0.05)).sum()) and
          [c["cells"] for c in got["over_baseline"]["classes"]] ==
          [int((assessed & (classes_of(np.nan_to_num(slope), [0.05, 0.2]) == k)).sum()) for k in range(3)] and
          got["over_baseline"]["max_slope"]["value"] == steepest and
          (got["over_baseline"]["max_slope"]["i"], got["over_baseline"]["max_slope"]["j"]) == tuple(at) and
          got["over_baseline"]["max_slope"]["along"] == ("both" if gi == gj else "i" if gi == steepest else "j"),
          "source H %g: %s" % (stack, {k: got[k] for k in ("ground_height", "cells", "assessed", "left_out")}))
    if stack != 40.0:
        continue
    # One source: its area's classes over 2 H (over 2 x delta with --baseline=grid), the cells
    # beyond the area or left out outside (3 in the raster).
    for baseline, own in (("source", np.where(np.isnan(slope), 0, slope)), ("grid", None)):
        status, out, err = run("-j", "--gis", "-r", "250", "--baseline=" + baseline,
                               "--source=%r,%r,%r" % (sx, sy, stack), "source.dmna")
        shown = grid_classes if own is None else classes_of(own[1:-1, 1:-1], [0.05, 0.2])
        kept = (assessed if own is not None else inside)[1:-1, 1:-1]
        expected = np.where(kept, shown, 3)
        raster = np.array(Image.open(os.path.join(WORK, "source_classes.png")))
        check(status == 0 and (raster == expected.T[::-1, :]).all(),
              "one source, --baseline=%s: %d raster pixels differ" % (baseline, (raster != expected.T[::-1, :]).sum()))

# 9. German or English: the locale's variables in the order GNU programs read them, the
# option before them; the same figures in both; on Windows, where none is set, the display
# language (Wine takes it from LANG, then the variables are cleared inside Wine).
def numbers(text):
    text = text.replace("km2", "").replace("km\u00b2", "")
    return [float(n.replace(",", ".")) for n in re.findall(r"-?[0-9]+(?:[.,][0-9]+)?", text)]


de = {"LANG": "de_DE.UTF-8"}
for locale, args, german in (({"LANGUAGE": "de:en", "LANG": "en_US.UTF-8"}, [], True),
                             ({"LANGUAGE": "", "LC_ALL": "de_AT.UTF-8", "LANG": "en_US"}, [], True),
                             ({"LC_ALL": "C", "LANG": "de_DE.UTF-8"}, [], False),
                             ({"LC_MESSAGES": "de_CH.UTF-8"}, [], True),
                             ({"LANG": "en_GB.UTF-8"}, [], False),
                             (de, ["--language=en"], False),
                             ({}, ["-l", "de"], True)):
    status, out, err = run(*args, "-o", "lang", "g.dmna", locale=locale)
    check(status == 0 and out.startswith("Datei        g.dmna\n" if german else "file         g.dmna\n"),
          "language of %s %s: %r" % (locale, args, out[:30]))
for args, words in ((["--centre=%r,%r" % (gx + 3500000, gy + 5400000), "-r", "300", "w.dmna"],
                     ["Rechengebiet Kreis mit Radius 300 m um x 3501400; y 5402280:",
                      "steiler als 1:20: nach der Steigung allein"]),
                    (["-r", "250", "--source=1450,2350,23.7", "--source=1050,2300,40", "source.dmna"],
                     ["Quelle 2     x 1050; y 2300, Schornsteinh\u00f6he H 40 m", "alle 2 Quellen: "])):
    status, english, err = run(*args)
    status, german, err = run(*args, locale=de)
    check(all(w in german for w in words) and numbers(english) == numbers(german) and len(numbers(english)) > 50,
          "German and English summaries of %s differ" % args)
texts = [t["text"] for t in json.loads(run("-j", "w.dmna", locale=de)[1])["figure"]["texts"]]
check("Gel\u00e4ndesteigung (H\u00f6he zu Strecke)" in texts and "steiler als 1:20 bis 1:5" in texts and
      any(t.startswith("Steigung einer Zelle") for t in texts), "German figure: %s" % texts[:12])
texts = [t["text"] for t in json.loads(run("-j", "--source=1450,2350,23.7", "source.dmna", locale=de)[1])["figure"]["texts"]]
check("Bodenh\u00f6he der Quelle \u00b1 0,7 H (16,59 m)" in texts and "Quelle (Mitte des Rechengebiets)" in texts and
      any(t.startswith("Steigung einer Zelle: die gr\u00f6\u00dfere der beiden Differenzen der H\u00f6hen H vor") for t in texts),
      "German figure with a source: %s" % texts)
if on_wine:
    # Wine's display language follows its Unix locale: a German one is made for this test
    # alone (LOCPATH), none is installed.
    locales = os.path.join(WORK, "locales")
    os.makedirs(locales, exist_ok=True)
    made = subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8", os.path.join(locales, "de_DE.UTF-8")],
                          capture_output=True).returncode in (0, 1)  # 1: made, with warnings
    windows_program = subprocess.run(["winepath", "-w", PROGRAM], capture_output=True, text=True).stdout.strip()
    cleared = "set LANG=&& set LC_ALL=&& set LANGUAGE=&& set LC_MESSAGES=&& %s -o lang g.dmna" % windows_program
    for unix, german in (("de_DE.UTF-8", True), ("C.UTF-8", False)):
        status, out, err = run(locale={"LANG": unix, "LOCPATH": locales}, command=RUNNER + ["cmd", "/c", cleared])
        check(made and status == 0 and out.startswith("Datei " if german else "file "),
              "Windows display language of %s: %r %r" % (unix, out[:30], err[:200]))

print("FAILED: %d check(s)" % len(failures) if failures else "passed")
sys.exit(1 if failures else 0)
