#!/usr/bin/python3
"""The program users run carries no scripted test session: with
TAVELO_TEST_SCRIPT naming a script that would raise a fault and close the
window, it starts, stays up and writes no crash report, and it ends with
status 0 when its close button is pressed (WM_DELETE_WINDOW).

Usage: no_script_hook_test.py PROGRAM
"""

import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from driver.program import Program  # noqa: E402
from driver.steps import check, main_guard  # noqa: E402


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    work = tempfile.mkdtemp(prefix="tavelo-nohook-")
    script = os.path.join(work, "script.txt")
    with open(script, "w") as f:
        f.write("fault\nclose\n")
    p = Program(sys.argv[1], os.path.join(work, "session"), env={"TAVELO_TEST_SCRIPT": script})
    try:
        p.start()
        time.sleep(5)
        check(p.alive(), "the program ended by itself (status %s): it ran the test script"
              % p.process.poll())
        check(not p.crash_reports(), "the program wrote a crash report: %s" % p.crash_reports()[:1])
        p.wait_title("Tavelo")
        p.close_main_window()
        status = p.wait_exit(30)
        check(status == 0, "the program ended with status %d" % status)
        check(not p.crash_reports(), "the program wrote a crash report: %s" % p.crash_reports()[:1])
    finally:
        p.stop()
    print("passed", flush=True)
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    main_guard(main)
