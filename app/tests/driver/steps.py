"""Named steps of a test that drives the program, with a record of what
failed. A step that fails records its failure; a later step that needs
what the failed one should have made is skipped, so one run tells every
step that fails and why."""

import argparse
import os
import shutil
import sys
import tempfile
import time
import traceback

from .xsession import DriverError


class Skip(Exception):
    pass


class Steps:
    def __init__(self, log=None, recover=None, after=None):
        self.recover = recover
        self.after = after
        self.soft = []
        self.failures = []
        self.passed = []
        self.skipped = []
        self.done = set()
        self.log = log or (lambda text: print(text, flush=True))

    def run(self, name, function, needs=(), fatal=False):
        """Runs step `name` unless a step it needs did not pass; answers
        whether it passed. A fatal step's failure stops the run."""
        missing = [n for n in needs if n not in self.done]
        if missing:
            self.skipped.append((name, missing))
            self.log("SKIP %s (needs %s)" % (name, ", ".join(missing)))
            return False
        self.log("STEP %s" % name)
        start = time.monotonic()
        self.soft = []
        try:
            try:
                function()
            finally:
                if self.after:
                    self.after(name)
        except (DriverError, AssertionError, OSError, ValueError, Skip) as e:
            self.failures.append((name, "; ".join(self.soft + [str(e) or type(e).__name__])))
            self.log("FAIL %s: %s" % (name, e))
            if os.environ.get("TAVELO_TEST_TRACE"):
                traceback.print_exc()
            if fatal:
                raise
            if self.recover:
                try:
                    self.recover()
                except Exception as e:
                    self.log("  recovery after %s failed: %s" % (name, e))
            return False
        self.done.add(name)
        if self.soft:
            # Done, so the steps after it can go on, but not as it should be.
            self.failures.append((name, "; ".join(self.soft)))
            self.log("FAIL %s: %s" % (name, "; ".join(self.soft)))
            return False
        self.passed.append(name)
        self.log("PASS %s (%.1fs)" % (name, time.monotonic() - start))
        return True

    def soft_fail(self, message):
        """Records a fault of the running step that does not stop it."""
        self.log("  fault: %s" % message)
        self.soft.append(message)

    def summary(self):
        lines = ["%d step(s) passed, %d failed, %d skipped" % (len(self.passed), len(self.failures),
                                                              len(self.skipped))]
        for name, why in self.failures:
            lines.append("  FAILED  %s: %s" % (name, why))
        for name, missing in self.skipped:
            lines.append("  SKIPPED %s: needs %s" % (name, ", ".join(missing)))
        return "\n".join(lines)

    def exit_status(self):
        return 1 if self.failures or self.skipped else 0


def check(condition, message):
    if not condition:
        raise DriverError(message)


def main_guard(function):
    """Runs a test's main function; a DriverError outside the steps ends
    the run with status 1 and its message."""
    try:
        sys.exit(function())
    except DriverError as e:
        print("FAILED: %s" % e, flush=True)
        sys.exit(1)


def run_steps(steps, program, body, clean=None, needs=("start",), end_shot=True, stopped=None, shots=None):
    """Runs `body`, the steps that work the program (a fatal step's failure,
    which ends it early, is recorded already), then winds up: a screenshot
    of how the program ends, the program stopped (then `stopped`, when
    given), its output checked for toolkit complaints and crash reports (by
    `clean`, or the program's own check) and the summary printed. Answers
    the exit status."""
    try:
        body()
    except DriverError:
        pass
    except BaseException:
        program.stop()
        raise
    try:
        if end_shot and program.alive():
            program.shot("end")
    except Exception:
        pass
    program.stop()
    if stopped:
        stopped()
    steps.run("no toolkit complaints or crash reports", clean or program.check_clean, needs=needs)
    print(steps.summary(), flush=True)
    print("screenshots: %s" % (shots or program.artifacts), flush=True)
    return steps.exit_status()

def test_main(doc, prefix, run, footage_tool=True, options=None):
    """Runs a program test as a command: PROGRAM [FOOTAGE_TOOL] [--work
    FOLDER] and what `options(parser)` adds. A work folder named is emptied
    first and kept; a temporary one (named from `prefix`) is removed when
    the test passes. `run(args, work)` answers the exit status."""
    def main():
        parser = argparse.ArgumentParser(description=doc.split("\n")[0])
        parser.add_argument("program")
        if footage_tool:
            parser.add_argument("footage_tool")
        parser.add_argument("--work")
        if options:
            options(parser)
        args = parser.parse_args()
        keep = args.work is not None
        work = args.work or tempfile.mkdtemp(prefix="tavelo-%s-" % prefix)
        if keep:
            shutil.rmtree(work, ignore_errors=True)
            os.makedirs(work)
        status = run(args, work)
        if status == 0 and not keep:
            shutil.rmtree(work, ignore_errors=True)
        return status
    main_guard(main)
