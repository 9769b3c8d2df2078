# SPDX-License-Identifier: MIT
"""polkit's authority as the service meets it on a private system bus: the real polkitd
needs logind and the machine's own bus, so the host tests run python-dbusmock's polkitd
template in its place (the system tier uses the real one), and dbusmock's record of the calls
says what was asked. The template says yes or no, the same to everyone; "challenge", whose
answer depends on whether the call allows interaction, is beyond it: polkitd_challenge.py adds it.
"""

import os
import subprocess
import sys
from pathlib import Path

import dbus
import dbusmock

NAME = "org.freedesktop.PolicyKit1"
ACTION = "org.vorlix.mouse.vorlixd.configure"
CHALLENGE = Path(__file__).with_name("polkitd_challenge.py")


class PolkitAuthority:
    """polkit on `bus` giving every caller the same answer: "yes", "no" or "challenge"."""

    def __init__(self, bus, answer):
        template = str(CHALLENGE) if answer == "challenge" else "polkitd"
        self._process = subprocess.Popen([sys.executable, "-m", "dbusmock", "--system", "--template", template],
                                         env={**os.environ, **bus.environment()}, stdout=subprocess.DEVNULL)
        if not bus.wait_for_name(NAME):
            raise RuntimeError("python-dbusmock's polkitd did not take its name")
        self._connection = dbus.bus.BusConnection(bus.address)
        self._mock = dbus.Interface(self._connection.get_object(NAME, "/org/freedesktop/PolicyKit1/Authority"),
                                    dbusmock.MOCK_IFACE)
        if answer == "yes":
            self._mock.SetAllowed([ACTION])

    def questions(self):
        """Every question asked so far: (subject kind, its bus name, action, flags)."""
        return [(str(kind), str(subject.get("name")), str(action), int(flags))
                for _, ((kind, subject), action, _, flags, _) in self._mock.GetMethodCalls("CheckAuthorization")]

    def close(self):
        self._connection.close()
        self._process.terminate()
        self._process.wait(timeout=10)
