# SPDX-License-Identifier: MIT
"""vorlixd-apply, which sends the settings again whenever a mouse comes back. Each case: the
mice plugged in, the administrator's file, the kept settings and the node udev names (None:
every mouse, as after resume), then the lines, the exit code and the reports each mouse got;
last, where it matters, the name of the administrator's file."""

from collections import namedtuple

import pytest

from expected import SPEED_REFUSED, arguments, report_for
from mice import WIRED_PRO, WIRELESS, Mouse, plug
from mouse_rig import NOTHING_TAKEN, SEND_FAILS, SEND_FAILS_ONCE, STRINGS_UNREADABLE

KEPT = (False, True, False, True, 250, 4)
ADMINISTRATOR = (True, False, True, True, 500, 2)  # --speed 2 --frequency 500, the rest at their defaults
SENT_KEPT = "Sending the kept settings."
NOT_FIRST = "/dev/hidraw{} is not the first interface of a supported mouse: nothing to send."
NOT_TAKEN = "Not sent to Glide M3 (/dev/hidraw0): 无法发送功能报文。"

Case = namedtuple("Case", "id mice defaults kept node lines exit_code reports defaults_name", defaults=("defaults",))


def sent(*nodes, name="Glide M3"):
    return [f"Sent to {name} (/dev/hidraw{n})." for n in nodes]


CASES = [
    Case("kept settings to every mouse, wireless first", [Mouse(WIRED_PRO, serial="P"), Mouse(WIRELESS, serial="W")],
         None, KEPT, None, [SENT_KEPT, *sent(1, 0)], 0, {0: [KEPT], 1: [KEPT]}),
    Case("the administrator's last line wins", [Mouse(WIRELESS)],
         'VORLIXD_OPTIONS="--speed 5"\n  VORLIXD_OPTIONS="--speed 2 --frequency 500"\n',
         KEPT, None, ["Sending the settings of {defaults}.", *sent(0)], 0, {0: [ADMINISTRATOR]}),
    Case("the administrator's typo: the kept settings instead", [Mouse(WIRELESS)], "VORLIXD_OPTIONS='--speed 9'\n",
         KEPT, None, ["Ignored {defaults}: " + SPEED_REFUSED.format(9), SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("the administrator's file named beyond ASCII", [Mouse(WIRELESS)], 'VORLIXD_OPTIONS="--speed 9"\n',
         KEPT, None, ["Ignored {defaults}: " + SPEED_REFUSED.format(9), SENT_KEPT, *sent(0)], 0, {0: [KEPT]},
         "réglages"),
    Case("no service from the administrator's file", [Mouse(WIRELESS)], 'VORLIXD_OPTIONS="--daemon true"\n',
         None, None, ["Ignored {defaults}: 不支持的命令行选项： --daemon", "No settings are kept: nothing was sent."],
         0, {}),
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
    Case("a stranger's node", [Mouse(WIRELESS), Mouse(WIRELESS, vendor_id=0x1234)], None, KEPT, 1,
         [NOT_FIRST.format(1)], 0, {}),
    # U+0130 would name hidraw0 if it were cut to a byte.
    Case("a node named beyond ASCII", [Mouse(WIRELESS)], None, KEPT, "\u0130", [NOT_FIRST.format("\u0130")], 0,
         {}),
    Case("not ready at first: tried again", [Mouse(WIRELESS, fault=SEND_FAILS_ONCE)], None, KEPT, 0,
         [SENT_KEPT, *sent(0)], 0, {0: [KEPT]}),
    Case("never takes them", [Mouse(WIRELESS, fault=SEND_FAILS)], None, KEPT, None, [SENT_KEPT, NOT_TAKEN], 1, {}),
    Case("takes nothing of them", [Mouse(WIRELESS, fault=NOTHING_TAKEN)], None, KEPT, None, [SENT_KEPT, NOT_TAKEN], 1,
         {}),
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
        (state / "kept-settings").write_text(" ".join(arguments(case.kept)) + "\n")
    node = [] if case.node is None else [f"/dev/hidraw{case.node}"]
    result = mouse_rig.run([vorlixd_apply, *node], env_extra={"STATE_DIRECTORY": str(state),
                                                              "VORLIXD_DEFAULTS_FILE": str(defaults)})
    assert result.stdout.splitlines() == [line.format(defaults=defaults) for line in case.lines]
    assert result.returncode == case.exit_code
    assert {i: m.reports for i, m in enumerate(mice) if m.reports} == {
        i: [report_for(values) for values in sent_values] for i, sent_values in case.reports.items()}
