"""The test footage, written by the footage tool: an AVI of a disc moving
over a background, and beside it the truth it was made from (each frame
and the disc's shape)."""

import os
import subprocess


def truth_folder(avi):
    """The folder of the truth written with the footage `avi`."""
    return os.path.join(os.path.dirname(avi), "truth")


def write_footage(tool, work, frames, name="disc.avi"):
    """`frames` frames of footage as WORK/footage/NAME, its truth in
    WORK/footage/truth; returns the AVI's path."""
    avi = os.path.join(work, "footage", name)
    truth = truth_folder(avi)
    os.makedirs(truth, exist_ok=True)
    subprocess.run([tool, "write", avi, truth, str(frames)], check=True)
    return avi
