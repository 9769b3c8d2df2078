# SPDX-License-Identifier: MIT
"""vorlixd-apply, which sends the settings again whenever a mouse comes back. Each case: the
mice plugged in, the administrator's file, the kept settings (values, or the file's text) and
the node udev names (None: every mouse, as after resume; a tuple: the arguments themselves),
then the lines, the exit code and the reports each mouse got; last, where it matters, the name
of the administrator's file, why it runs (VORLIXD_APPLY_CAUSE), what each mouse's record
says of who sent it what ("" for nothing) and with which error, and the settings an earlier
run by hand sent every mouse before."""

from collections import namedtuple
from pathlib import Path

import pytest

from expected import arguments, report_for
from mice import WIRED_PRO, WIRELESS, Mouse, plug
from mouse_rig import NO_NODE, NOT_HIDRAW, NOTHING_TAKEN, SEND_FAILS, SEND_FAILS_ONCE, SHORT_SEND, STRINGS_UNREADABLE

KEPT = (False, True, False, True, 250, 4)
ADMINISTRATOR = (True, False, True, True, 500, 2)  # --speed 2 --frequency 500, the rest at their defaults
SENT_KEPT = "Sending the kept settings."
NOT_FIRST = "/dev/hidraw{} is not the first interface of a supported mouse: nothing to send."
NOT_TAKEN = "Not sent to Glide M3 (USB 1-01, /dev/hidraw0): it did not take the report."
SPEED_REFUSED = "Ignored {defaults}: --speed takes 1, 2, 3, 4 or 5, not 9 (line 1)."
USAGE = ["Usage: vorlixd-apply [/dev/hidrawN]",
         "Sends the settings of {defaults} while they are valid, else the kept settings, to the supported mouse at "
         "that hidraw node, or without one to every supported mouse. Exit status: 0 sent or nothing to send, 1 a mouse "
         "did not take them, 2 a mouse's record could not be written, 6 a wrong argument."]

Case = namedtuple("Case", "id mice defaults kept node lines exit_code reports defaults_name cause recorded earlier own",
                  defaults=("defaults", None, None, None, None))
SEND_FAILED = "org.vorlix.mouse.vorlixd.Error.SendFailed"
OWN = KEPT[:5] + (5,)
OWN_A = "c652/serial/A " + " ".join(arguments(OWN)) + "\n"  # the own settings of the mouse with serial number A


OWN_SENT = "Sending its own settings to Glide M3 (USB 1-01, /dev/hidraw0)."


def sent(*nodes, name="Glide M3"):
    return [f"Sent to {name} (USB 1-{n + 1:02d}, /dev/hidraw{n})." for n in nodes]


CASES = [
    Case("kept settings to every mouse, wireless first", [Mouse(WIRED_PRO, serial="P"), Mouse(WIRELESS, serial="W")],
         None, KEPT, None, [SENT_KEPT, *sent(1, 0)], 0, {0: [KEPT], 1: [KEPT]},
         recorded={0: ("by-hand", KEPT, "", "family"), 1: ("by-hand", KEPT, "", "family")}),
    Case("after resume", [Mouse(WIRELESS)], None, KEPT, None, [SENT_KEPT, *sent(0)], 0, {0: [KEPT]},
         cause="resume", recorded={0: ("resume", KEPT, "", "family")}),
    Case("after resume with nothing to send", [Mouse(WIRELESS)], None, None, None,
         ["No settings are kept: nothing was sent."], 0, {0: [ADMINISTRATOR]}, cause="resume",
         recorded={0: ("", None, "", "")}, earlier=ADMINISTRATOR),
    Case("the administrator's last line wins", [Mouse(WIRELESS)],
         'VORLIXD_OPTIONS="--speed 5"\n  VORLIXD_OPTIONS="--speed 2 --frequency 500"\n',
         KEPT, None, ["Sending the settings of {defaults}.", *sent(0)], 0, {0: [ADMINISTRATOR]}),
    Case("the administrator's typo: the kept settings instead", [Mouse(WIRELESS)], "VORLIXD_OPTIONS='--speed 9'\n",
         KEPT, None, [SPEED_REFUSED, SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("the administrator's file named beyond ASCII", [Mouse(WIRELESS)], 'VORLIXD_OPTIONS="--speed 9"\n',
         KEPT, None, [SPEED_REFUSED, SENT_KEPT, *sent(0)], 0, {0: [KEPT]}, "réglages"),
    Case("the administrator's file over 64 KiB: refused, not cut", [Mouse(WIRELESS)],
         "#" * 65536 + '\nVORLIXD_OPTIONS="--speed 2"\n', KEPT, None,
         ["Ignored {defaults}: it is larger than 64 KiB.", SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("no service from the administrator's file", [Mouse(WIRELESS)], 'VORLIXD_OPTIONS="--daemon true"\n',
         None, None, ["Ignored {defaults}: unknown option --daemon (line 1).",
                      "No settings are kept: nothing was sent."], 0, {}),
    Case("the kept settings refused", [Mouse(WIRELESS)], None, "--speed 9\n", None,
         ["Ignored {state}/kept-settings: it is not the line the service writes (--speed takes 1, 2, 3, 4 or 5, not 9)."
          " Nothing was sent."], 0, {}),
    Case("commented out: the kept settings", [Mouse(WIRELESS)], '#VORLIXD_OPTIONS="--speed 2"\n', KEPT, None,
         [SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("no mouse is no failure", [], None, KEPT, None, ["No supported mouse: nothing was sent."], 0, {}),
    Case("the mouse that appeared, and only it", [Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="B")],
         None, KEPT, 1, [SENT_KEPT, *sent(1)], 0, {1: [KEPT]}),
    Case("the second of two alike mice", [Mouse(WIRELESS), Mouse(WIRELESS)], None, KEPT, 1, [SENT_KEPT, *sent(1)],
         0, {1: [KEPT]}),
    Case("another interface of the same mouse",
         [Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="A", interface=1)], None, KEPT, 1,
         [NOT_FIRST.format(1)], 0, {}),
    Case("the first interface of a mouse with two",
         [Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="A", interface=1)], None, KEPT, 0,
         [SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("a stranger's node", [Mouse(WIRELESS), Mouse(WIRELESS, vendor_id=0x1234)], None, KEPT, 1,
         [NOT_FIRST.format(1)], 0, {}),
    Case("the node of another product of the same maker", [Mouse(WIRELESS), Mouse(0xC999)], None, KEPT, 1,
         [NOT_FIRST.format(1)], 0, {}),
    # U+0130 would name hidraw0 if it were cut to a byte.
    Case("a node named beyond ASCII", [Mouse(WIRELESS)], None, KEPT, "\u0130",
         ["/dev/hidraw\u0130 is not a hidraw node (/dev/hidrawN)."], 6, {}),
    Case("not a hidraw node", [Mouse(WIRELESS)], None, KEPT, ("/dev/null",),
         ["/dev/null is not a hidraw node (/dev/hidrawN)."], 6, {}),
    Case("a node that is gone", [Mouse(WIRELESS, fault=NO_NODE)], None, KEPT, 0, ["/dev/hidraw0 does not exist."], 6,
         {}),
    Case("a character device of another kind", [Mouse(WIRELESS, fault=NOT_HIDRAW)], None, KEPT, 0,
         ["/dev/hidraw0 is not a hidraw node: no hidraw device has its numbers."], 6, {}),
    Case("--help", [Mouse(WIRELESS)], None, KEPT, ("--help",), USAGE, 6, {}),
    Case("an option", [Mouse(WIRELESS)], None, KEPT, ("-v",), ["Unknown option -v.", *USAGE], 6, {}),
    Case("two nodes", [Mouse(WIRELESS)], None, KEPT, ("/dev/hidraw0",) * 2,
         ["Too many arguments: it takes at most one hidraw node.", *USAGE], 6, {}),
    Case("not ready at first: tried again", [Mouse(WIRELESS, fault=SEND_FAILS_ONCE)], None, KEPT, 0,
         [SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("never takes them", [Mouse(WIRELESS, fault=SEND_FAILS)], None, KEPT, None, [SENT_KEPT, NOT_TAKEN], 1, {},
         recorded={0: ("by-hand", KEPT, SEND_FAILED, "family")}),
    Case("takes nothing of them", [Mouse(WIRELESS, fault=NOTHING_TAKEN)], None, KEPT, None, [SENT_KEPT, NOT_TAKEN], 1,
         {}),
    Case("takes part of them", [Mouse(WIRELESS, fault=SHORT_SEND)], None, KEPT, None, [SENT_KEPT, NOT_TAKEN], 1, {},
         recorded={0: ("by-hand", KEPT, SEND_FAILED, "family")}),
    Case("one mouse fails, the next still gets them", [Mouse(WIRELESS, fault=SEND_FAILS), Mouse(WIRELESS)], None,
         KEPT, None, [SENT_KEPT, NOT_TAKEN, *sent(1)], 1, {1: [KEPT]}),
    Case("its own settings to one mouse, the kept ones to the other", [Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO)],
         None, KEPT, None, [SENT_KEPT, OWN_SENT, *sent(0, 1)], 0, {0: [OWN], 1: [KEPT]},
         recorded={0: ("by-hand", OWN, "", "own"), 1: ("by-hand", KEPT, "", "family")}, own=OWN_A),
    Case("its own settings wherever it is plugged in", [Mouse(WIRELESS, serial="B"), Mouse(WIRELESS, serial="A")],
         None, None, 1, [OWN_SENT.replace("1-01, /dev/hidraw0", "1-02, /dev/hidraw1"), *sent(1)], 0, {1: [OWN]},
         own=OWN_A),
    Case("a twin of the same serial number: by its port", [Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="A")],
         None, KEPT, 1, [SENT_KEPT, *sent(1)], 0, {1: [KEPT]}, own=OWN_A),
    Case("a damaged line costs only its mouse", [Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO, serial="P")], None,
         KEPT, None, ["Ignored 1 line(s) of {state}/own-settings that are not as the service writes them: those mice "
                      "get the kept settings.", SENT_KEPT, OWN_SENT, *sent(0, 1)], 0, {0: [OWN], 1: [KEPT]},
         own=OWN_A + "c656/serial/P --speed 9\n"),
    Case("the administrator's file wins over a mouse's own", [Mouse(WIRELESS, serial="A")],
         'VORLIXD_OPTIONS="--speed 2 --frequency 500"\n', KEPT, None, ["Sending the settings of {defaults}.", *sent(0)],
         0, {0: [ADMINISTRATOR]}, recorded={0: ("by-hand", ADMINISTRATOR, "", "administrator")}, own=OWN_A),
    Case("a mouse without a name", [Mouse(WIRELESS, product=None)], None, KEPT, 0,
         [SENT_KEPT, "Sent to an unnamed mouse (USB 1-01, /dev/hidraw0)."], 0, {0: [KEPT]}),
    Case("no name strings needed", [Mouse(WIRELESS, fault=STRINGS_UNREADABLE)], None, KEPT, 0,
         [SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
]


@pytest.mark.parametrize("case", CASES, ids=[case.id for case in CASES])
def test_vorlixd_apply(mouse_rig, vorlixd_apply, workdir, case):
    mice = plug(mouse_rig, case.mice)
    defaults, state = workdir / case.defaults_name, workdir / "state"
    state.mkdir()
    if case.defaults is not None:
        defaults.write_text(case.defaults)
    if case.kept is not None:
        kept = case.kept if isinstance(case.kept, str) else " ".join(arguments(case.kept)) + "\n"
        (state / "kept-settings").write_text(kept)
    if case.own is not None:
        (state / "own-settings").write_text(case.own)
    environment = {"STATE_DIRECTORY": str(state), "VORLIXD_DEFAULTS_FILE": str(defaults)}
    if case.earlier:
        earlier = workdir / "earlier"
        earlier.write_text(f'VORLIXD_OPTIONS="{" ".join(arguments(case.earlier))}"\n')
        before = mouse_rig.run([vorlixd_apply], env_extra={**environment, "VORLIXD_DEFAULTS_FILE": str(earlier)})
        assert before.returncode == 0
    node = [] if case.node is None else case.node if isinstance(case.node, tuple) else (f"/dev/hidraw{case.node}",)
    result = mouse_rig.run([vorlixd_apply, *node], env_extra={**environment, "VORLIXD_APPLY_CAUSE": case.cause})
    assert result.stdout.splitlines() == [line.format(defaults=defaults, state=state) for line in case.lines]
    assert result.returncode == case.exit_code
    assert {i: m.reports for i, m in enumerate(mice) if m.reports} == {
        i: [report_for(values) for values in sent_values] for i, sent_values in case.reports.items()}
    for i, (by, values, error, source) in (case.recorded or {}).items():
        fields = dict(line.split("=", 1) for line in
                      (Path(mouse_rig.records) / f"mouse-{mice[i].usb_device}").read_text().splitlines())
        assert (fields["sentBy"], fields["sentSettings"], fields["sendError"], fields["sentFrom"]) == (
            by, " ".join(arguments(values)) if values else "", error, source)
