# SPDX-License-Identifier: MIT
"""vorlixd under valgrind's memcheck against an emulated mouse: one one-shot run, one short
daemon session on a private bus, through the success and the failure paths, and one run of
vorlixd-apply sending the settings that session kept.

Run by tools/valgrind-check, under umockdev-wrapper with Debian's python3:
    valgrind-session.py VORLIXD LOG_DIR VALGRIND_ARGS...
Each run's memcheck log goes to LOG_DIR; this script checks what the runs did, the caller
reads the logs.
"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from buses import MICE, Bus  # noqa: E402
from expected import arguments, report_for  # noqa: E402
from mice import VENDOR, WIRELESS  # noqa: E402
from mouse_rig import SEND_FAILS_ONCE, MouseRig  # noqa: E402

# Every call under memcheck is slow; this is generous.
TIMEOUT = 300
VALID, REFUSED = (True, False, True, True, 500, 2), (True, True, True, True, 300, 3)


class Unexpected(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Unexpected(what)


def one_shot(rig, mouse, vorlixd, memcheck):
    result = rig.run([*memcheck("one-shot"), vorlixd, *arguments(VALID)], timeout=TIMEOUT)
    expect(result.returncode == 0, f"one-shot run ended with {result.returncode}: {result.stdout}{result.stderr}")
    expect(mouse.reports == [report_for(VALID)], f"one-shot run sent {mouse.reports}")


def daemon_session(rig, mouse, vorlixd, memcheck, folder, output):
    # The daemon serves root on the system bus and anyone else on the session bus.
    bus = Bus(folder / "system") if os.geteuid() == 0 else Bus(folder / "session", "session", policy="")
    daemon = rig.popen([*memcheck("daemon"), vorlixd, "--daemon", "true"],
                       env_extra={**bus.environment(), "STATE_DIRECTORY": str(folder)},
                       stdout=output, stderr=subprocess.STDOUT)
    before = len(mouse.reports)
    try:
        expect(bus.wait_for_name(timeout=TIMEOUT), "the daemon never took its name")
        expect(bus.get_property("devicePresent") == "b true", "mouse not present")
        expect(bus.get_property("deviceName") == 's "Glide M3"', "wrong device name")
        expect(bus.configure(VALID).error is None, "configure failed")
        expect(bus.configure(REFUSED).error is not None, "a refused value was accepted")
        expect(bus.configure(VALID, member="configureAndKeep", interface=MICE).error is None, "keeping failed")
        expect(bus.get_property("keptSettings", interface=MICE).startswith("a{sv} 6 "), "nothing was kept")
        mouse.fault = SEND_FAILS_ONCE
        expect(bus.configure(VALID).error is not None, "a failed send was reported as success")
        rig.unplug(mouse)
        expect(bus.get_property("devicePresent") == "b false", "an unplugged mouse is present")
        expect(bus.configure(VALID).error is not None, "configure without a mouse succeeded")
        rig.replug(mouse)
        expect(bus.configure(VALID).error is None, "configure after replugging failed")
        expect(len(mouse.reports) - before == 3, f"{len(mouse.reports) - before} reports instead of 3")
    finally:
        # The daemon has no other way to end; memcheck still writes its leak summary.
        daemon.terminate()
        daemon.wait(timeout=TIMEOUT)
        bus.close()


def apply_kept(rig, mouse, vorlixd, memcheck, folder):
    apply = os.path.join(os.path.dirname(os.path.dirname(vorlixd)), "apply", "vorlixd-apply")
    result = rig.run([*memcheck("apply"), apply], timeout=TIMEOUT,
                     env_extra={"STATE_DIRECTORY": str(folder), "VORLIXD_DEFAULTS_FILE": str(folder / "none")})
    expect(result.returncode == 0, f"vorlixd-apply ended with {result.returncode}: {result.stdout}{result.stderr}")
    expect(mouse.reports[-1] == report_for(VALID), "vorlixd-apply did not send the kept settings")


def main():
    vorlixd, log_dir, valgrind_args = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]

    def memcheck(name):
        return ["valgrind", *valgrind_args, f"--log-file={log_dir / name}.log"]

    # A failed run must not keep the other from running: both logs are wanted.
    failures = []
    rig = MouseRig()
    try:
        mouse = rig.add(VENDOR, WIRELESS)
        with tempfile.TemporaryDirectory(prefix="vorlixd-valgrind-") as folder, \
                open(log_dir / "daemon.out", "w") as output:
            for run in (lambda: one_shot(rig, mouse, vorlixd, memcheck),
                        lambda: daemon_session(rig, mouse, vorlixd, memcheck, Path(folder), output),
                        lambda: apply_kept(rig, mouse, vorlixd, memcheck, Path(folder))):
                try:
                    run()
                except Unexpected as failure:
                    failures.append(str(failure))
    finally:
        rig.close()
    if failures:
        sys.exit("valgrind session: " + "; ".join(failures))


if __name__ == "__main__":
    main()
