# SPDX-License-Identifier: MIT
"""polkit's authority as the service meets it on a private system bus: the real polkitd
needs logind and the machine's own bus, so the host tests answer in its place (the system
tier uses the real one).

Run as a program (`polkit_authority.py ADDRESS ANSWERS LOG`) it owns the authority's name
and answers CheckAuthorization from the JSON file ANSWERS, {"UID": answer}, read anew for
each call: "yes", "no", or "challenge" (yes only when the call allows interaction, as an
agent that asked for a password would make it). Anyone else gets "no". Each question is
appended to LOG as one JSON line.
"""

import json
import subprocess
import sys
from pathlib import Path

NAME = "org.freedesktop.PolicyKit1"
ALLOW_USER_INTERACTION = 1

INTROSPECTION = """
<node>
  <interface name="org.freedesktop.PolicyKit1.Authority">
    <method name="CheckAuthorization">
      <arg direction="in" type="(sa{sv})" name="subject"/>
      <arg direction="in" type="s" name="action_id"/>
      <arg direction="in" type="a{ss}" name="details"/>
      <arg direction="in" type="u" name="flags"/>
      <arg direction="in" type="s" name="cancellation_id"/>
      <arg direction="out" type="(bba{ss})" name="result"/>
    </method>
  </interface>
</node>
"""


class PolkitAuthority:
    """The stand-in running on `bus`; `answers` maps user IDs to "yes", "no" or "challenge"."""

    def __init__(self, bus, folder: Path, answers=None):
        self._answers = folder / "polkit-answers.json"
        self._log = folder / "polkit-questions.jsonl"
        self.answer(answers or {})
        self._log.touch()
        self._process = subprocess.Popen([sys.executable, __file__, bus.address, self._answers, self._log])
        if not bus.wait_for_name(NAME):
            raise RuntimeError("the polkit stand-in did not take its name")

    def answer(self, answers):
        self._answers.write_text(json.dumps({str(uid): answer for uid, answer in answers.items()}))

    def questions(self):
        """Every question asked so far: subject kind, bus name, its user, action and flags."""
        return [json.loads(line) for line in self._log.read_text().splitlines()]

    def close(self):
        self._process.terminate()
        self._process.wait(timeout=10)


def serve(address, answers, log):
    import gi

    gi.require_version("Gio", "2.0")
    from gi.repository import Gio, GLib

    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    connection = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)

    def user_of(name):
        reply = connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     "GetConnectionUnixUser", GLib.Variant("(s)", (name,)), None,
                                     Gio.DBusCallFlags.NONE, -1, None)
        return reply.unpack()[0]

    def on_call(_connection, _sender, _path, _interface, _method, parameters, invocation):
        (kind, details), action, _details, call_flags, _cancellation = parameters.unpack()
        uid = user_of(details["name"]) if kind == "system-bus-name" else None
        with open(log, "a") as file:
            file.write(json.dumps({"kind": kind, "name": details.get("name"), "uid": uid, "action": action,
                                   "flags": call_flags}) + "\n")
        answer = json.loads(Path(answers).read_text()).get(str(uid), "no")
        interactive = bool(call_flags & ALLOW_USER_INTERACTION)
        authorized = answer == "yes" or (answer == "challenge" and interactive)
        challenge = answer == "challenge" and not interactive
        invocation.return_value(GLib.Variant("((bba{ss}))", ((authorized, challenge, {}),)))

    node = Gio.DBusNodeInfo.new_for_xml(INTROSPECTION)
    connection.register_object("/org/freedesktop/PolicyKit1/Authority", node.interfaces[0], on_call, None, None)
    connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                         GLib.Variant("(su)", (NAME, 0)), None, Gio.DBusCallFlags.NONE, -1, None)
    loop = GLib.MainLoop()
    connection.connect("closed", lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    serve(*sys.argv[1:4])
