"""Scripting KAVR stepper-motor controllers: a session with `kavrctl serve`.

    with kavr.open() as session:
        c = session.controller()
        c.start(5000, 1000)
        print(c.wait(timeout=30).CurrentPosition)
"""

from .errors import KavrError, LibraryError, NotFound, RefusedValue, ServerGone, Timeout, VerifyError
from .session import Controller, Session, Started, open

__all__ = ["open", "Session", "Controller", "Started", "KavrError", "LibraryError", "RefusedValue",
           "NotFound", "VerifyError", "Timeout", "ServerGone"]
__version__ = "1.0.0"
