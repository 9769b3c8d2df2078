# SPDX-License-Identifier: MIT
"""Soak: many mixed calls against one running daemon and an emulated mouse, with device
faults injected on the way; afterwards every reply, every line the daemon printed, every
report the mouse received, and the daemon's open descriptors and resident memory are checked.

    tools/soak [CALLS]     the full run (10000 calls unless told otherwise)

test_soak.py runs a short one in the test suite. To run this file directly, use Debian's
interpreter under umockdev's preload, from the repository root:

    VORLIXD=build/src/vorlixd umockdev-wrapper /usr/bin/python3 tests/e2e/soak.py [CALLS]
"""

import argparse
import itertools
import os
import random
import shutil
import sys
import tempfile
import time
from collections import Counter, namedtuple
from pathlib import Path

from buses import FAILED, Reply
from expected import (FREQUENCIES, INT_MAX, INT_MIN, NAME_UNREADABLE, NO_MOUSE, SEND_FAILED, SPEEDS, configure_line,
                      refusal, report_for)
from gio_client import Client, configure, get
from mouse_rig import SEND_FAILS_ONCE, STRINGS_UNREADABLE

PRODUCT = "Glide M3"
RSS_GROWTH_LIMIT_KIB = 1024
EPISODE = 8  # calls made while one fault lasts


def open_descriptors(pid):
    """What the process has open: the targets of /proc/PID/fd, sorted."""
    folder = f"/proc/{pid}/fd"
    return sorted(os.readlink(f"{folder}/{fd}") for fd in os.listdir(folder))


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def sanitized(pid):
    """Whether the process carries AddressSanitizer, which keeps freed memory resident on purpose
    (its leak checker judges that build instead)."""
    with open(f"/proc/{pid}/exe", "rb") as program:
        return b"__asan_init" in program.read()


Outcome = namedtuple("Outcome", "reply lines report rejected")


class Model:
    """What the daemon must answer and print, and what the mouse must receive, for each call."""

    def __init__(self):
        self.open_error = None  # why the mouse cannot be opened, or None
        self.name_unreadable = False
        self.send_fails = False  # the next report sent fails, once

    def outcome(self, call):
        if call.member == "Get":
            return self._read(call.args[1])
        line = configure_line(call.args)
        refused = refusal(call.args)
        if refused:
            return Outcome(Reply(FAILED, refused), [line], None, None)
        if self.open_error:
            return Outcome(Reply(FAILED, self.open_error), [line, f"HID错误: {self.open_error}"], None, None)
        report = report_for(call.args)
        if self.send_fails:
            self.send_fails = False
            return Outcome(Reply(FAILED, SEND_FAILED), [line, f"HID错误: {SEND_FAILED}"], None, report)
        return Outcome(Reply(None, None), [line], report, None)

    def _read(self, name):
        if name == "devicePresent":
            if self.open_error:
                return Outcome(Reply(None, False), ["checking mouse presence: ", f"HID错误: {self.open_error}"],
                               None, None)
            return Outcome(Reply(None, True), ["checking mouse presence: present"], None, None)
        error = self.open_error or (NAME_UNREADABLE if self.name_unreadable else None)
        if error:
            return Outcome(Reply(None, ""), ["读取鼠标名称： ", f"HID错误: {error}"], None, None)
        return Outcome(Reply(None, PRODUCT), [f"读取鼠标名称： {PRODUCT}"], None, None)


def _unplug(rig, mouse, model, on):
    (rig.unplug if on else rig.replug)(mouse)
    model.open_error = NO_MOUSE if on else None


def _name_unreadable(rig, mouse, model, on):
    mouse.fault = STRINGS_UNREADABLE if on else None
    model.name_unreadable = on


def _send_fails_once(rig, mouse, model, on):
    # It ends by itself with the first report sent; the plan makes that the very next call.
    if on:
        mouse.fault = SEND_FAILS_ONCE
        model.send_fails = True


# A node that cannot be opened is left out: under umockdev's preload every failed open() of
# a /dev path leaves a socket open in the caller, and after some fifty the preload aborts it.
# test_device_faults.py covers that fault with a handful of calls.
FAULTS = {"unplugged": _unplug, "name unreadable": _name_unreadable, "send fails once": _send_fails_once}

# A step of the plan between two calls: the named fault begins (on) or ends.
Fault = namedtuple("Fault", "name on")

REFUSED_FREQUENCIES = [INT_MIN, INT_MAX, 0, -1, -1000, 124, 126, 999, 1001, 2000]
REFUSED_SPEEDS = [INT_MIN, INT_MAX, 0, -1, -3, 6, 10, 55]


def _valid_configure(rng):
    return configure((*(rng.random() < 0.5 for _ in range(4)), rng.choice(list(FREQUENCIES)),
                      rng.choice(list(SPEEDS))))


def _any_call(rng):
    kind = rng.random()
    if kind < 0.45:
        return _valid_configure(rng)
    if kind < 0.55:
        frequency = rng.choice(REFUSED_FREQUENCIES + [rng.randint(INT_MIN, INT_MAX)])
        speed = rng.randint(INT_MIN, INT_MAX)
    elif kind < 0.65:
        frequency = rng.choice(list(FREQUENCIES))
        speed = rng.choice(REFUSED_SPEEDS + [rng.randint(INT_MIN, INT_MAX)])
    else:
        return get("devicePresent" if kind < 0.825 else "deviceName")
    return configure((*(rng.random() < 0.5 for _ in range(4)), frequency, speed))


def plan(calls, seed):
    """The calls in order, with Fault steps between them: every fault in turn, evenly spread."""
    rng = random.Random(seed)
    period = max(2 * EPISODE + 4, calls // 100)
    faults = itertools.cycle(FAULTS)
    steps, fault, began = [], None, None
    for index in range(calls):
        if fault and index == began + EPISODE:
            steps.append(Fault(fault, False))
            fault = None
        if index % period == period // 2:
            fault, began = next(faults), index
            steps.append(Fault(fault, True))
        # A send failure hits the next configure that is valid: make that this call, and the one after valid too.
        forced = fault == "send fails once" and index - began < 2
        steps.append(_valid_configure(rng) if forced else _any_call(rng))
    if fault:
        steps.append(Fault(fault, False))
    return steps


class Result:
    def __init__(self):
        self.calls = 0
        self.kinds = Counter()
        self.faults = Counter()
        self.under_fault = 0
        self.wrong = 0
        self.descriptors = {}  # moment -> open descriptors
        self.resident = {}  # moment -> VmRSS in KiB
        self.seconds = 0.0
        self.memory_judged = True
        self.reports = self.rejected = 0
        self.problems = []

    def summary(self):
        moments = ["start", "after warm-up", "end"]
        growth = self.resident["end"] - self.resident["after warm-up"]
        lines = [
            f"calls: {self.calls} in {self.seconds:.1f} s, {self.calls / self.seconds:.0f} calls/s ("
            + ", ".join(f"{count} {kind}" for kind, count in sorted(self.kinds.items())) + ")",
            f"faults injected: {sum(self.faults.values())} ("
            + ", ".join(f"{count} {name}" for name, count in sorted(self.faults.items()))
            + f"), {self.under_fault} calls made under a fault",
            "daemon open descriptors: " + ", ".join(f"{len(self.descriptors[m])} {m}" for m in moments),
            "daemon VmRSS: " + ", ".join(f"{self.resident[m]} KiB {m}" for m in moments)
            + (f" ({growth:+d} KiB since warm-up)" if self.memory_judged
               else " (not judged: AddressSanitizer holds freed memory back)"),
            f"answered as expected: {self.calls - self.wrong} of {self.calls} calls",
            f"reports: {self.reports} received, {self.kinds['configure accepted']} successful configure calls; "
            f"{self.rejected} refused by the mouse under injected send failures",
        ]
        lines += [f"PROBLEM: {problem}" for problem in self.problems] or ["every check passed"]
        return "\n".join(lines)


def _first_difference(got, expected):
    index = next((i for i, (g, e) in enumerate(zip(got, expected)) if g != e), min(len(got), len(expected)))
    return (f"{len(got)} instead of {len(expected)}; first difference at #{index}: "
            f"{got[index] if index < len(got) else 'nothing'!r} instead of "
            f"{expected[index] if index < len(expected) else 'nothing'!r}")


def kind_of(call, outcome):
    if call.member == "Get":
        return "property reads"
    if outcome.reply.error is None:
        return "configure accepted"
    return "configure refused" if refusal(call.args) else "configure failed by a fault"


def run(rig, mouse, address, daemon, calls, warmup, seed=1):
    """Drives the calls one after another against a started daemon; returns the Result."""
    pid = daemon.process.pid
    result, model, client = Result(), Model(), Client(address)
    expected_lines, expected_reports, expected_rejected, wrong = [], [], [], []
    daemon.new_lines()
    result.descriptors["start"], result.resident["start"] = open_descriptors(pid), resident_kib(pid)
    started = time.monotonic()
    for step in plan(calls, seed):
        if isinstance(step, Fault):
            FAULTS[step.name](rig, mouse, model, step.on)
            result.faults[step.name] += step.on
            continue
        under_fault = model.open_error or model.name_unreadable or model.send_fails
        outcome = model.outcome(step)
        reply = client.call(step)
        if reply != outcome.reply:
            wrong.append(f"call #{result.calls} {step.member}{step.args}: {reply} instead of {outcome.reply}")
        expected_lines += outcome.lines
        expected_reports += [outcome.report] if outcome.report else []
        expected_rejected += [outcome.rejected] if outcome.rejected else []
        result.kinds[kind_of(step, outcome)] += 1
        result.under_fault += bool(under_fault)
        result.calls += 1
        if result.calls == warmup:
            result.descriptors["after warm-up"] = open_descriptors(pid)
            result.resident["after warm-up"] = resident_kib(pid)
    result.seconds = time.monotonic() - started
    result.descriptors["end"], result.resident["end"] = open_descriptors(pid), resident_kib(pid)
    result.reports, result.rejected = len(mouse.reports), len(mouse.rejected)

    problems, result.wrong = result.problems, len(wrong)
    if wrong:
        problems.append(f"{len(wrong)} calls answered wrongly, first: {wrong[0]}")
    lines = daemon.new_lines()
    if lines != expected_lines:
        problems.append("daemon lines: " + _first_difference(lines, expected_lines))
    if mouse.reports != expected_reports:
        problems.append("reports received: " + _first_difference(mouse.reports, expected_reports))
    if mouse.rejected != expected_rejected:
        problems.append("reports refused: " + _first_difference(mouse.rejected, expected_rejected))
    if result.descriptors["end"] != result.descriptors["after warm-up"]:
        gained = Counter(result.descriptors["end"]) - Counter(result.descriptors["after warm-up"])
        lost = Counter(result.descriptors["after warm-up"]) - Counter(result.descriptors["end"])
        problems.append(f"open descriptors changed after warm-up: gained {dict(gained)}, lost {dict(lost)}")
    result.memory_judged = not sanitized(pid)
    if result.memory_judged and result.resident["end"] - result.resident["after warm-up"] >= RSS_GROWTH_LIMIT_KIB:
        problems.append(f"resident memory grew by {result.resident['end'] - result.resident['after warm-up']} KiB "
                        f"after warm-up (limit {RSS_GROWTH_LIMIT_KIB} KiB)")
    if not daemon.running():
        problems.append("the daemon is gone")
    return result


def warmup_for(calls):
    return min(max(200, calls // 10), calls // 2)


def main():
    parser = argparse.ArgumentParser(description="Soak the daemon with mixed calls and device faults.")
    parser.add_argument("calls", nargs="?", type=int, default=10000, help="how many calls (default 10000)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the call mix (default 1)")
    args = parser.parse_args()
    if args.calls < 20:
        parser.error("a soak needs at least 20 calls")

    import mouse_rig
    if not mouse_rig.preload_active():
        sys.exit("run under umockdev's preload: umockdev-wrapper /usr/bin/python3 tests/e2e/soak.py")
    from buses import Bus
    from conftest import RunningDaemon
    from mice import VENDOR, WIRELESS

    vorlixd = os.path.abspath(os.environ.get("VORLIXD", "build/src/vorlixd"))
    if not os.access(vorlixd, os.X_OK):
        sys.exit(f"no vorlixd binary at {vorlixd}: build it or set VORLIXD")
    folder = Path(tempfile.mkdtemp(prefix="vorlixd-soak-"))
    folder.chmod(0o755)
    rig = mouse_rig.MouseRig()
    # The daemon takes the system bus as root and the session bus otherwise.
    bus = (Bus(folder / "system") if os.getuid() == 0 else Bus(folder / "session", "session", policy=""))
    daemon = None
    try:
        mouse = rig.add(VENDOR, WIRELESS, manufacturer="Quillon Labs", product=PRODUCT)
        daemon = RunningDaemon(rig, vorlixd, folder / "daemon.out", bus.environment(), None, ())
        if not bus.wait_for_name():
            sys.exit("the daemon did not take its name; its output:\n" + "\n".join(daemon.lines()))
        print(f"soak: {args.calls} calls (warm-up {warmup_for(args.calls)}) against {vorlixd}", flush=True)
        result = run(rig, mouse, bus.address, daemon, args.calls, warmup_for(args.calls), args.seed)
        print(result.summary())
        return 1 if result.problems else 0
    finally:
        if daemon:
            daemon.stop()
        bus.close()
        rig.close()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
