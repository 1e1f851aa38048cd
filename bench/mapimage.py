"""Deterministic map-like RGB rasters for the benchmark.

Every feature is sized in pixels, not as a share of the image, so a larger image holds more
of the same map rather than the same map magnified: the work per pixel stays alike across
sizes, which is what a scaling measurement needs.
"""

import numpy as np

WHITE = (255, 255, 255)
CONTOUR = (0xC9, 0x6A, 0x2D)
INDEX_CONTOUR = (0x8B, 0x45, 0x13)
WATER = (0x2D, 0x6A, 0xC9)
WOODLAND = (0xC9, 0xEA, 0x9D)
BLACK = (0, 0, 0)

BLOCK_ROWS = 512
GRID_SPACING = 1000
CONTOUR_LEVELS = 12.0


def _paint(block, mask, colour):
    block[mask] = colour


def _block(width, top, rows):
    y = np.arange(top, top + rows, dtype=np.float32)[:, None]
    x = np.arange(width, dtype=np.float32)[None, :]
    block = np.full((rows, width, 3), 255, dtype=np.uint8)

    woods = np.sin(x / 1700.0 + 1.3) * np.cos(y / 2100.0 - 0.4) > 0.55
    _paint(block, woods, WOODLAND)

    height = (np.sin(x / 610.0) * np.cos(y / 830.0) + 0.6 * np.sin((x + y) / 1270.0)
              + 0.35 * np.cos((x - 2 * y) / 390.0))
    level = height * CONTOUR_LEVELS
    band = np.abs(level - np.round(level))
    slope = CONTOUR_LEVELS * 0.004
    line = band < slope
    index = line & (np.mod(np.round(level), 5) == 0)
    _paint(block, line & ~index, CONTOUR)
    _paint(block, index, INDEX_CONTOUR)

    stream = np.abs(np.sin(x / 350.0 + 2.0 * np.sin(y / 900.0))) < 0.006
    _paint(block, stream, WATER)

    grid = (np.mod(x, GRID_SPACING) < 2) | (np.mod(y, GRID_SPACING) < 2)
    _paint(block, grid, BLACK)
    return block


def _patches(width, height, rng):
    """Rectangles of orthophoto-like reddish pixels, of random noise and of black lettering."""
    area = width * height
    patches = []
    for kind, per_megapixel, side in (("red", 0.6, 400), ("noise", 0.3, 300), ("text", 4.0, 60)):
        for _ in range(max(1, round(area / 1e6 * per_megapixel))):
            w = int(rng.integers(side // 2, side))
            h = int(rng.integers(side // 4, side // 2 if kind == "text" else side))
            left = int(rng.integers(0, max(1, width - w)))
            top = int(rng.integers(0, max(1, height - h)))
            patches.append((kind, left, top, min(w, width - left), min(h, height - top)))
    return patches


def _apply_patch(block, block_top, patch, seed):
    kind, left, top, w, h = patch
    first = max(top, block_top)
    last = min(top + h, block_top + block.shape[0])
    if first >= last:
        return
    rows = last - first
    # Each piece of a patch draws from its own generator, seeded by where it lies, so the
    # pixels do not depend on how many patches were painted before it.
    rng = np.random.default_rng([seed, left, top, first])
    target = block[first - block_top:last - block_top, left:left + w]
    if kind == "red":
        target[..., 0] = rng.integers(95, 230, (rows, w), dtype=np.uint8)
        target[..., 1] = rng.integers(30, 140, (rows, w), dtype=np.uint8)
        target[..., 2] = rng.integers(30, 140, (rows, w), dtype=np.uint8)
    elif kind == "noise":
        target[...] = rng.integers(0, 256, (rows, w, 3), dtype=np.uint8)
    else:
        strokes = rng.random((rows, w)) < 0.35
        target[strokes] = BLACK


def make(width, height, seed=1):
    """The whole image as a (height, width, 3) uint8 array."""
    rng = np.random.default_rng(seed)
    patches = _patches(width, height, rng)
    image = np.empty((height, width, 3), dtype=np.uint8)
    for top in range(0, height, BLOCK_ROWS):
        rows = min(BLOCK_ROWS, height - top)
        block = _block(width, top, rows)
        for patch in patches:
            _apply_patch(block, top, patch, seed)
        image[top:top + rows] = block
    return image
