"""A short soak in the test suite: the full one is tools/soak."""

import soak
from mice import WIRELESS, Mouse, plug

CALLS = 1000


def test_short_soak_answers_every_call_and_keeps_no_resources(mouse_rig, system_bus, start_daemon, capsys):
    (mouse,) = plug(mouse_rig, [Mouse(WIRELESS)])
    daemon = start_daemon(system_bus.environment())
    assert system_bus.wait_for_name()
    result = soak.run(mouse_rig, mouse, system_bus.address, daemon, CALLS, soak.warmup_for(CALLS))
    with capsys.disabled():
        print(f"\nsoak, {CALLS} calls:\n{result.summary()}")
    assert result.problems == []
