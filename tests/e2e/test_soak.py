# SPDX-License-Identifier: MIT
"""A short soak in the test suite: the full one is tools/soak."""

import soak
from mice import WIRELESS, Mouse

CALLS = 1000


def test_short_soak_answers_every_call_and_keeps_no_resources(mouse_rig, system_bus, serve, capsys):
    daemon, (mouse,) = serve([Mouse(WIRELESS)])
    result = soak.run(mouse_rig, mouse, system_bus.address, daemon, CALLS, soak.warmup_for(CALLS))
    with capsys.disabled():
        print(f"\nsoak, {CALLS} calls:\n{result.summary()}")
    assert result.problems == []
