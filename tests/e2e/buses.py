# SPDX-License-Identifier: MIT
"""Private D-Bus buses for the end-to-end tests, and the real clients that talk to them.

Each bus is a real dbus-daemon on a socket in a temporary folder, so no test touches
the machine's own buses. The "system" bus uses a default-deny policy like Debian's;
a test adds the rules it needs.
"""

import os
import subprocess
from collections import namedtuple
from pathlib import Path

SERVICE = "org.vorlix.mouse.vorlixd"
OBJECT_PATH = "/org/vorlix/mouse/vorlixd"
INTERFACE = SERVICE
MICE = f"{SERVICE}.Mice"  # ours, beside the first mouse's
ERROR = f"{SERVICE}.Error."

NOBODY = 65534

# Debian's system bus policy: nobody owns names or calls methods unless a rule says so.
_DEFAULT_DENY = """
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
  <!-- polkit's authority, as Debian's polkitd allows it: root owns it, anyone may ask. -->
  <policy user="root">
    <allow own="org.freedesktop.PolicyKit1"/>
  </policy>
  <policy context="default">
    <allow send_destination="org.freedesktop.PolicyKit1"/>
  </policy>
"""

# What the tests of the daemon itself need: root owns the name, anyone may talk to it.
OPEN_SERVICE_POLICY = f"""
  <policy user="root">
    <allow own="{SERVICE}"/>
  </policy>
  <policy context="default">
    <allow send_destination="{SERVICE}"/>
  </policy>
"""

_SESSION_POLICY = """
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
"""


FAILED = "org.freedesktop.DBus.Error.Failed"

# How a client saw a call end: error None on success; busctl does not name the error ("").
Reply = namedtuple("Reply", "error message")


def as_user(uid, command, groups=()):
    """The command run with the given user and group IDs and only the given supplementary groups."""
    if uid is None:
        return list(command)
    supplementary = f"--groups={','.join(map(str, groups))}" if groups else "--clear-groups"
    return ["setpriv", f"--reuid={uid}", f"--regid={uid}", supplementary, *command]


class Bus:
    """A running private dbus-daemon; `address` is what clients and the daemon connect to."""

    def __init__(self, folder: Path, kind="system", policy=OPEN_SERVICE_POLICY, includes=(), owner=None):
        """`folder` must be reachable by `owner` (a user ID; None: this process's user)."""
        folder.mkdir(parents=True, exist_ok=True)
        os.chmod(folder, 0o755)
        if owner is not None:
            os.chown(folder, owner, owner)  # the bus creates its socket here
        socket = folder / f"{kind}_bus_socket"
        rules = _DEFAULT_DENY if kind == "system" else _SESSION_POLICY
        included = "".join(f"  <include>{path}</include>\n" for path in includes)
        config = folder / f"{kind}.conf"
        config.write_text(
            '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
            ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
            f"<busconfig>\n  <type>{kind}</type>\n  <listen>unix:path={socket}</listen>\n"
            f"  <auth>EXTERNAL</auth>\n{rules}{policy}{included}</busconfig>\n"
        )
        self._process = subprocess.Popen(
            as_user(owner, ["dbus-daemon", "--nofork", f"--config-file={config}", "--print-address=1"]),
            stdout=subprocess.PIPE,
            stderr=open(folder / f"{kind}.log", "w"),
            text=True,
        )
        self.address = self._process.stdout.readline().strip()
        if not self.address:
            raise RuntimeError(f"dbus-daemon did not start with {config}")
        self.kind = kind

    def environment(self):
        """The variable that points Qt's systemBus() or sessionBus() at this bus."""
        variable = "DBUS_SYSTEM_BUS_ADDRESS" if self.kind == "system" else "DBUS_SESSION_BUS_ADDRESS"
        return {variable: self.address}

    def client(self, tool, *args, user=None, groups=(), timeout=30):
        """Runs busctl, gdbus or dbus-send against this bus; returns the finished process."""
        if tool == "busctl":
            command = ["busctl", f"--address={self.address}", *args]
        elif tool == "gdbus":
            command = ["gdbus", args[0], "--address", self.address, *args[1:]]
        elif tool == "dbus-send":
            command = ["dbus-send", f"--bus={self.address}", *args]
        else:
            raise ValueError(tool)
        return subprocess.run(as_user(user, command, groups), capture_output=True, text=True, timeout=timeout)

    def wait_for_name(self, name=SERVICE, user=None, timeout=10):
        """True once someone owns the name on this bus, False when it never happens."""
        result = subprocess.run(
            as_user(user, ["gdbus", "wait", "--address", self.address, "--timeout", str(timeout), name]),
            capture_output=True,
        )
        return result.returncode == 0

    def close(self):
        self._process.terminate()
        self._process.wait(timeout=10)

    def has_owner(self, name=SERVICE, user=None):
        result = self.client("dbus-send", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus.NameHasOwner", f"string:{name}", user=user)
        return result.stdout.rstrip().endswith("boolean true")

    def unique_name(self, name=SERVICE):
        """The unique bus name of the connection that owns `name`."""
        result = self.client("busctl", "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "GetNameOwner", "s", name)
        return result.stdout.split()[1].strip('"')

    def owner_pid(self, name=SERVICE):
        result = self.client("busctl", "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s", name)
        return int(result.stdout.split()[1])

    def get_property(self, name, user=None, interface=INTERFACE):
        """The property as busctl prints it, e.g. 'b true' or 's "Glide M3"'."""
        result = self.client("busctl", "get-property", SERVICE, OBJECT_PATH, interface, name, user=user)
        assert result.returncode == 0, result.stderr
        return result.stdout.strip()

    def configure(self, values, tool="busctl", user=None, groups=(), member="configure", interface=INTERFACE):
        """Calls configure, or another member with the same arguments, with
        (liftOff, smartScrolling, wheel, gesture, frequency, speed)."""
        texts = [str(v).lower() for v in values]
        if tool == "busctl":
            args = ["call", "--", SERVICE, OBJECT_PATH, interface, member, "bbbbii"[:len(texts)], *texts]
        elif tool == "gdbus":
            args = ["call", "--dest", SERVICE, "--object-path", OBJECT_PATH, "--method", f"{interface}.{member}",
                    "--", *texts]
        else:
            types = ["boolean"] * 4 + ["int32"] * 2
            args = ["--print-reply", f"--dest={SERVICE}", OBJECT_PATH, f"{interface}.{member}",
                    *(f"{t}:{v}" for t, v in zip(types, texts))]
        return reply_of(tool, self.client(tool, *args, user=user, groups=groups))


def reply_of(tool, result):
    """The Reply that a finished client process reports."""
    if result.returncode == 0:
        return Reply(None, None)
    text = result.stderr.strip().splitlines()[0]
    if tool == "gdbus":  # Error: GDBus.Error:NAME: MESSAGE
        name, message = text.removeprefix("Error: GDBus.Error:").split(": ", 1)
    elif tool == "dbus-send":  # Error NAME: MESSAGE
        name, message = text.removeprefix("Error ").split(": ", 1)
    else:  # busctl: Call failed: MESSAGE
        name, message = "", text.split(": ", 1)[1]
    return Reply(name, message)
