# SPDX-License-Identifier: MIT
"""Figures of vorlixd against the floor its work allows, each measured here in one run
against an emulated mouse:

- instructions of one run (callgrind), against a C program that makes only the same
  hidapi calls, and against that program linked with the Qt libraries vorlixd loads;
- the service's CPU time per configure call, against the C program's CPU time per round
  of the same calls; its records on tmpfs, as /run is;
- wake-ups while idle (context switches of all threads) and resident memory of the
  service, against a Qt service that only owns a name on the bus;
- the CPU time of one vorlixctl list, against a Qt client that only reads the same properties
  in one call, beside busctl's reading of them.

Run by tools/bench, under umockdev-wrapper with Debian's python3:
    bench.py VORLIXD PROGRAMS_DIR
"""

import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from buses import Bus  # noqa: E402
from gio_client import Client, configure  # noqa: E402
from mice import VENDOR, WIRELESS  # noqa: E402
from mouse_rig import MouseRig  # noqa: E402

CALLS = 300
CLIENT_RUNS = 50
IDLE_SECONDS = 10
ARGUMENTS = ["--speed", "2", "--frequency", "500"]


def instructions(rig, command):
    result = rig.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", *command], timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
    return int(re.search(r"Collected : (\d+)", result.stderr).group(1))


def cpu_seconds_of_run(rig, command):
    """CPU time (user and system) of one run of the command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    assert rig.run(command).returncode == 0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def client_cpu_seconds(command, environment):
    """CPU time (user and system) per run of a client, without the mice's preload."""
    clean = {name: value for name, value in os.environ.items() if name not in ("LD_PRELOAD", "UMOCKDEV_DIR")}
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    for _ in range(CLIENT_RUNS):
        assert subprocess.run(command, env={**clean, **environment}, capture_output=True).returncode == 0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) / CLIENT_RUNS


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime, stime


def context_switches(pid):
    total = 0
    for status in Path(f"/proc/{pid}/task").glob("*/status"):
        total += sum(int(n) for n in re.findall(r"^(?:non)?voluntary_ctxt_switches:\s+(\d+)$",
                                                status.read_text(), re.M))
    return total


def resident_kib(pid):
    return int(re.search(r"^VmRSS:\s+(\d+) kB$", Path(f"/proc/{pid}/status").read_text(), re.M).group(1))


def idle_wakeups_per_second(pids):
    """Context switches per second of each process while nobody calls it."""
    before = [context_switches(pid) for pid in pids]
    time.sleep(IDLE_SECONDS)
    return [(context_switches(pid) - start) / IDLE_SECONDS for pid, start in zip(pids, before)]


def main():
    vorlixd, programs = sys.argv[1], Path(sys.argv[2])
    vorlixctl = Path(vorlixd).parents[1] / "vorlixctl" / "vorlixctl"
    rig = MouseRig()
    rig.add(VENDOR, WIRELESS)
    with tempfile.TemporaryDirectory(prefix="vorlixd-bench-") as folder:
        one_shot = instructions(rig, [vorlixd, *ARGUMENTS])
        bare = instructions(rig, [programs / "hidapi-calls"])
        bare_qt = instructions(rig, [programs / "hidapi-calls-qt"])
        # The start of the process is left out: one round less, that much less time.
        bare_per_call = (cpu_seconds_of_run(rig, [programs / "hidapi-calls", str(CALLS + 1)])
                         - cpu_seconds_of_run(rig, [programs / "hidapi-calls", "1"])) / CALLS

        # The service takes the system bus as root and the session bus otherwise.
        bus = Bus(Path(folder) / "system") if os.geteuid() == 0 else Bus(Path(folder) / "session", "session", policy="")
        session = Bus(Path(folder) / "name-owner", "session", policy="")
        records = tempfile.mkdtemp(prefix="vorlixd-bench-records-", dir="/dev/shm")
        daemon = rig.popen([vorlixd, "--daemon", "true"], env_extra={**bus.environment(), "RUNTIME_DIRECTORY": records},
                           stdout=open(os.devnull, "w"))
        owner = rig.popen([programs / "name-owner"], env_extra=session.environment())
        try:
            assert bus.wait_for_name(timeout=30), "the service never took its name"
            assert session.wait_for_name("org.vorlix.bench.NameOwner", timeout=30), "the name owner never started"
            client = Client(bus.address)
            call = configure((True, False, True, True, 500, 2))
            for _ in range(20):  # warm-up: the first calls load what later ones reuse
                assert client.call(call).error is None
            start = cpu_seconds(daemon.pid)
            for _ in range(CALLS):
                assert client.call(call).error is None
            per_call = (cpu_seconds(daemon.pid) - start) / CALLS
            # Idle begins once the service has announced the last call's record, a moment after it.
            time.sleep(1)
            daemon_wakeups, owner_wakeups = idle_wakeups_per_second([daemon.pid, owner.pid])
            daemon_kib, owner_kib = resident_kib(daemon.pid), resident_kib(owner.pid)
            system = {"DBUS_SYSTEM_BUS_ADDRESS": bus.address}
            listing = client_cpu_seconds([vorlixctl, "list"], system)
            reading = client_cpu_seconds([programs / "read-properties"], system)
            busctl = client_cpu_seconds(["busctl", f"--address={bus.address}", "get-property",
                                         "org.vorlix.mouse.vorlixd", "/org/vorlix/mouse/vorlixd",
                                         "org.vorlix.mouse.vorlixd.Mice", "mice", "keptSettings",
                                         "administratorSettings"], {})
        finally:
            for process in (daemon, owner):
                process.terminate()
                process.wait(timeout=30)
            bus.close()
            session.close()
            shutil.rmtree(records)
    rig.close()

    print(f"one run of vorlixd {' '.join(ARGUMENTS)}, instructions (callgrind): {one_shot:,}")
    print(f"  the same hidapi calls in C: {bare:,} (vorlixd {one_shot / bare:.1f} times as many)")
    print(f"  those linked with the Qt libraries: {bare_qt:,} (vorlixd {one_shot / bare_qt:.2f} times as many)")
    print(f"service, CPU per configure call ({CALLS} calls): {per_call * 1000:.2f} ms; "
          f"the C program per round of the same hidapi calls: {bare_per_call * 1000:.2f} ms "
          f"(ratio {per_call / bare_per_call:.2f})")
    print(f"idle wake-ups per second over {IDLE_SECONDS} s: service {daemon_wakeups:.1f}, "
          f"a Qt service that only owns a name {owner_wakeups:.1f}")
    print(f"resident memory: service {daemon_kib:,} KiB, a Qt service that only owns a name {owner_kib:,} KiB "
          f"(ratio {daemon_kib / owner_kib:.2f})")
    print(f"client CPU per run ({CLIENT_RUNS} runs): vorlixctl list {listing * 1000:.2f} ms, "
          f"a Qt client that reads the same properties {reading * 1000:.2f} ms (ratio {listing / reading:.2f}), "
          f"busctl get-property {busctl * 1000:.2f} ms")


if __name__ == "__main__":
    main()
