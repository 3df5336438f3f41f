#!/usr/bin/env python3
"""Bring-up of every attached controller: settings written and read back,
the supply checked, a short move, the parameters saved. A line per
controller; exit code 1 when any failed."""
import sys

import kavr

PARAMETERS = {"AccelerationTime": 200, "DecelerationTime": 200, "ButtonTimeout1": 1000}
failed = []
with kavr.open() as session:
    moving = []
    for c in session.controllers():
        try:
            c.stop()
            c.set_parameters(verify=True, **PARAMETERS)
            c.set_mode(verify=True, PowerOff=False, CurrentReduction=True)
            volts = c.state().InputVoltage
            if not 10.8 <= volts <= 13.2:
                raise kavr.KavrError(f"the supply is at {volts:.1f} V")
            c.start(c.state().CurrentPosition + 1000, 2000, divisor=2)
            moving.append(c)
        except kavr.KavrError as error:
            failed.append(c.serial)
            print(f"{c.serial}: FAILED: {error}")
    # Polled in turn; a Timeout leaves the block and stops every move started.
    for c, state in zip(moving, session.wait(moving, timeout=10)):
        c.save()
        print(f"{c.serial}: passed, at {state.CurrentPosition}")
sys.exit(1 if failed else 0)
