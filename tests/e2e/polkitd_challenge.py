# SPDX-License-Identifier: MIT
"""python-dbusmock's polkitd template with the one answer it cannot give, "challenge", to every
caller: a call that allows interaction is authorized, as if the agent had asked for the password
and been given it; any other is told that a password is needed. The name, the object and its
properties are the template's; dbusmock records the calls.
"""

import dbus.service
from dbusmock.templates.polkitd import BUS_NAME, MAIN_IFACE, MAIN_OBJ, load  # noqa: F401 (dbusmock reads them here)

ALLOW_USER_INTERACTION = 1


@dbus.service.method(MAIN_IFACE, in_signature="(sa{sv})sa{ss}us", out_signature="(bba{ss})")
def CheckAuthorization(_self, _subject, _action_id, _details, flags, _cancellation_id):
    interactive = bool(flags & ALLOW_USER_INTERACTION)
    return (interactive, not interactive, {})
