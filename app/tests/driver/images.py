"""Pictures the tests compare: files the program writes (BMP masks, AVI
frames decoded by the reference reader), the truth the footage was made
from, and parts of screenshots."""

import numpy as np
from PIL import Image


def read_rgb(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.uint8)


def read_mask(path):
    """A mask file (1-bit or 8-bit BMP, PGM) as a boolean array: set where
    the pixel is light."""
    image = Image.open(path)
    return np.asarray(image.convert("L"), dtype=np.uint8) >= 128


def iou(a, b):
    """Intersection over union of two boolean masks of one size (1.0 when
    both are empty)."""
    a = np.asarray(a, dtype=bool)
    b = np.asarray(b, dtype=bool)
    if a.shape != b.shape:
        raise ValueError("masks of sizes %s and %s" % (a.shape, b.shape))
    union = np.logical_or(a, b).sum()
    return 1.0 if union == 0 else float(np.logical_and(a, b).sum()) / float(union)


def mean_difference(a, b):
    """Mean absolute difference per channel of two pictures of one size."""
    a = np.asarray(a, dtype=np.int32)
    b = np.asarray(b, dtype=np.int32)
    if a.shape != b.shape:
        raise ValueError("pictures of sizes %s and %s" % (a.shape, b.shape))
    return float(np.abs(a - b).mean())


def erode(mask, steps):
    """The mask shrunk by `steps` pixels (4-neighbourhood)."""
    m = np.asarray(mask, dtype=bool).copy()
    for _ in range(steps):
        inner = m.copy()
        inner[1:, :] &= m[:-1, :]
        inner[:-1, :] &= m[1:, :]
        inner[:, 1:] &= m[:, :-1]
        inner[:, :-1] &= m[:, 1:]
        m = inner
    return m


def dilate(mask, steps):
    return ~erode(~np.asarray(mask, dtype=bool), steps)


def resize(picture, width, height):
    return np.asarray(Image.fromarray(np.asarray(picture, dtype=np.uint8)).resize((width, height), Image.BILINEAR))


def compare_with_reference(shot, reference, tolerance=8, max_share=0.02):
    """Compares two screenshots pixel by pixel: answers (share of pixels
    that differ by more than `tolerance` in some channel, whether that share
    is at most `max_share`, a picture of the differences)."""
    shot = np.asarray(shot, dtype=np.int32)
    reference = np.asarray(reference, dtype=np.int32)
    if shot.shape != reference.shape:
        return 1.0, False, None
    differs = np.abs(shot - reference).max(axis=2) > tolerance
    share = float(differs.mean())
    picture = (np.asarray(reference, dtype=np.uint8) // 3).copy()
    picture[differs] = (255, 0, 255)
    return share, share <= max_share, picture
