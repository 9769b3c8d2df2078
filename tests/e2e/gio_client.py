# SPDX-License-Identifier: MIT
"""A real D-Bus client library (libgio) for what the command-line clients cannot do:
hundreds of calls a second, many calls in flight at once, arguments larger than one
command-line argument may be, file descriptors attached to a call.

Run as a program it is one more client process: it reads {"address", "calls", "wait"}
as JSON on standard input, sends all the calls at once on its own connection and
prints their replies as JSON (or, with "wait" false, leaves without waiting for them).
"""

import json
import os
import subprocess
import sys
from collections import namedtuple

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

from buses import INTERFACE, OBJECT_PATH, SERVICE, Reply  # noqa: E402

PROPERTIES = "org.freedesktop.DBus.Properties"
# A long queue of calls ahead of one must not look like a hung daemon.
TIMEOUT_MS = 120_000
# The bus refuses more pending replies per connection than this (its default limit is 128).
MOST_IN_FLIGHT = 100

# One method call: the body is a GLib.Variant of `signature` built from `args`.
Call = namedtuple("Call", "interface member signature args path", defaults=(OBJECT_PATH,))


def configure(values):
    return Call(INTERFACE, "configure", "(bbbbii)", tuple(values))


def get(name, interface=INTERFACE):
    return Call(PROPERTIES, "Get", "(ss)", (interface, name))


def _reply(finish):
    """The Reply of a finished call: on success, error None and the single result or None."""
    try:
        result = finish()
    except GLib.Error as error:
        name = Gio.DBusError.get_remote_error(error)
        if name is None:  # the call never got an answer from the other side
            return Reply(f"local:{error.domain}:{error.code}", error.message)
        return Reply(name, error.message.removeprefix(f"GDBus.Error:{name}: "))
    values = result.unpack()
    return Reply(None, values[0] if values else None)


def _body(call):
    return GLib.Variant(call.signature, tuple(call.args))


class Client:
    """One connection to the bus at `address`."""

    def __init__(self, address):
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        self.connection = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)

    def call(self, call, fds=()):
        """Makes the call and waits for its Reply; `fds` are attached to the message."""
        body = _body(call)
        if not fds:
            return _reply(lambda: self.connection.call_sync(
                SERVICE, call.path, call.interface, call.member, body, None, Gio.DBusCallFlags.NONE, TIMEOUT_MS,
                None))
        fd_list = Gio.UnixFDList()
        for fd in fds:
            fd_list.append(fd)  # duplicates it
        return _reply(lambda: self.connection.call_with_unix_fd_list_sync(
            SERVICE, call.path, call.interface, call.member, body, None, Gio.DBusCallFlags.NONE, TIMEOUT_MS,
            fd_list, None)[0])

    def send(self, message):
        """Sends a hand-built Gio.DBusMessage and waits for its Reply."""
        def finish():
            reply, _ = self.connection.send_message_with_reply_sync(
                message, Gio.DBusSendMessageFlags.NONE, TIMEOUT_MS, None)
            reply.to_gerror()
            return reply.get_body() or GLib.Variant("()", ())
        return _reply(finish)

    def burst(self, calls, wait=True):
        """Sends every call before the first reply is read; the Replies in call order.

        Without `wait` it only makes sure the calls have left, and returns None.
        """
        assert len(calls) <= MOST_IN_FLIGHT, "the bus would refuse the calls past its limit"
        replies = [None] * len(calls)
        loop = GLib.MainLoop()

        def done(connection, result, index):
            replies[index] = _reply(lambda: connection.call_finish(result))
            if all(reply is not None for reply in replies):
                loop.quit()

        for index, call in enumerate(calls):
            self.connection.call(SERVICE, call.path, call.interface, call.member,
                                 _body(call), None, Gio.DBusCallFlags.NONE,
                                 TIMEOUT_MS, None, done if wait else None, index)
        if not wait:
            self.connection.flush_sync(None)
            return None
        if calls:
            loop.run()
        return replies


def start_burst(address, calls, wait=True):
    """A client process that sends `calls` all at once; read its Replies with finish_burst()."""
    # The client needs neither the emulated devices nor the preload.
    environment = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "UMOCKDEV_DIR")}
    process = subprocess.Popen([sys.executable, __file__], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               text=True, env=environment)
    process.stdin.write(json.dumps({"address": address, "calls": calls, "wait": wait}))
    process.stdin.close()
    return process


def finish_burst(process, timeout=120):
    output = process.stdout.read()
    assert process.wait(timeout=timeout) == 0, "the client process failed"
    return [Reply(*reply) for reply in json.loads(output)]


if __name__ == "__main__":
    request = json.load(sys.stdin)
    calls = [Call(*call) for call in request["calls"]]
    replies = Client(request["address"]).burst(calls, request["wait"])
    print(json.dumps(replies or []))
