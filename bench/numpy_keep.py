"""The script a user might write instead: keep one colour, whiten everything else."""

import sys

import numpy as np
import tifffile

KEEP = np.array([0xC9, 0x6A, 0x2D], dtype=np.uint8)

source, target = sys.argv[1:3]
pixels = tifffile.imread(source)
pixels[~(pixels == KEEP).all(axis=2)] = 255
tifffile.imwrite(target, pixels, photometric="rgb")
