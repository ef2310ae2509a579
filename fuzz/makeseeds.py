#!/usr/bin/env python3
"""Writes the seed corpus of every harness under fuzz/corpus/<harness>/ in the byte layout that
fuzzinput.h decodes. Nesting pieces are scaled onto the decoder's grid, so they keep their shape
roughly and gain the collinear and touching vertices the grid brings."""
import json
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
NESTING = pathlib.Path("/work/shared/data/nesting")
GRID = [0.0, 1.0, 2.0, -1.0, 3.0, 0.25, 10.0, -2.0]
CODES = {}
for code in range(223, -1, -1):
    CODES[GRID[code % 8] + (code // 8) * 0.5] = code
NAN, INF = 224, 225
NO_REPEAT, REPEAT = 1, 0


def coordinate(value):
    return CODES[min(CODES, key=lambda grid: abs(grid - value))]


def outline(points, repeat=False):
    data = [len(points)]
    for x, y in points:
        data += [coordinate(x), coordinate(y)]
    return data + [REPEAT if repeat else NO_REPEAT]


def points3(points):
    data = [len(points)]
    for point in points:
        data += [coordinate(value) for value in point]
    return data


SQUARE_CW = [(0, 0), (0, 2), (2, 2), (2, 0)]
SQUARE_NEXT = [(2, 0), (2, 2), (4, 2), (4, 0)]
TRIANGLE = [(0, 0), (3, 0), (0, 3)]
BOWTIE = [(0, 0), (2, 2), (2, 0), (0, 2)]
L_SHAPE = [(0, 0), (0, 3), (1, 3), (1, 1), (3, 1), (3, 0)]
COMB = [(0, 0), (0, 3), (1, 1), (2, 3), (3, 1), (4, 3), (4, 0)]
CUBE = [(x, y, z) for x in (0, 2) for y in (0, 2) for z in (0, 2)]


def nesting_pieces(limit):
    pieces = []
    for path in sorted(NESTING.glob("*.json")):
        for item in json.loads(path.read_text())["Items"][:limit]:
            shape = item["Shape"]["Data"]
            xs = [x for x, _ in shape]
            ys = [y for _, y in shape]
            extent = max(max(xs) - min(xs), max(ys) - min(ys)) or 1.0
            scaled = [((x - min(xs)) * 20 / extent, (y - min(ys)) * 20 / extent) for x, y in shape]
            pieces.append(scaled[:14])
    return pieces


def seeds():
    loops = [SQUARE_CW, TRIANGLE, BOWTIE, L_SHAPE, COMB] + nesting_pieces(2)
    yield "fuzz_predicates", [
        [coordinate(v) for v in (0, 0, 2, 0, 0, 2, 2, 2)] + outline(SQUARE_CW) + outline(SQUARE_NEXT),
        [coordinate(v) for v in (0, 0, 1, 1, 2, 2, 1, 0)] + outline(BOWTIE) + outline(TRIANGLE),
        [NAN, 0, coordinate(1), 0, 0, INF, 0, 0],
    ]
    yield "fuzz_outlines", [outline(loop, repeat) + outline(TRIANGLE) + [coordinate(1), coordinate(1), 2, 4, 4, 1, 0, 0]
                            for loop in loops for repeat in (False, True)]
    yield "fuzz_union", [outline(a) + outline(b) + [1, 1] for a, b in
                         [(SQUARE_CW, SQUARE_NEXT), (SQUARE_CW, TRIANGLE), (L_SHAPE, SQUARE_NEXT), (COMB, SQUARE_CW)]]
    yield "fuzz_nofit", [outline(a) + outline(b) + [1, selector, 1, 1] for a, b in
                         [(SQUARE_CW, TRIANGLE), (L_SHAPE, SQUARE_CW)] for selector in range(5)]
    yield "fuzz_intersectingoutlines", [outline(loop) + [flag, 1] for loop in loops for flag in (0, 1)]
    yield "fuzz_sortoutlines", [[flag, 3, 3] + outline(SQUARE_CW) + outline([(0.5, 0.5), (0.5, 1.5), (1.5, 1.5)]) +
                                outline(SQUARE_NEXT) for flag in (0, 1)]
    yield "fuzz_convexhull", [points3(CUBE) + [0], points3(CUBE + [(1, 1, 1)]) + [1, coordinate(0.25), 0],
                              points3([(0, 0, 0), (1, 0, 0), (2, 0, 0), (0, 1, 0)]) + [0]]
    init = [1, 0, 0] + [coordinate(v) for v in (0, 0, 0, 3, 3, 3)]
    add_cube = [1, 2] + points3(CUBE[:6])
    yield "fuzz_delaunay", [init + add_cube + [1, 3] + [0, 5, 1, 3], init + [1, 1, 1, 1, 1] * 3 + [1, 3, 1, 4, 1, 3]]
    yield "fuzz_voronoi", [init + [1, 1] + points3(CUBE[:6]) + [1, 4, 1, 7, 2, coordinate(0.25), 1, 11],
                           init + [1, 1] + points3(CUBE) + [1, 10, 1, 2, 2, 3, 1, 4, 0, 8]]


for harness, inputs in seeds():
    directory = HERE / "corpus" / harness
    directory.mkdir(parents=True, exist_ok=True)
    for index, data in enumerate(inputs):
        (directory / f"seed{index:02}").write_bytes(bytes(data))
