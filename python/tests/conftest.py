"""The package against kavrctl serve on the stand-in library.

The server is found as the package finds it ($KAVRCTL, PATH), or started
as the whole command line in $KAVR_TEST_COMMAND (a JSON list, e.g.
["/usr/lib/wine/wine64", "build-win64/bin/kavrctl.exe"]). Each test gets
freshly switched-on controllers in folders of its own."""

import json
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import kavr  # noqa: E402


def server_command():
    text = os.environ.get("KAVR_TEST_COMMAND")
    return json.loads(text) if text else None


@pytest.fixture(autouse=True)
def stand_in(tmp_path, monkeypatch):
    """Folders of the test's own for the stand-in's controllers."""
    monkeypatch.setenv("KAVR_SIM_FLASH_DIR", str(tmp_path / "flash"))
    monkeypatch.setenv("KAVR_SIM_STATE_DIR", str(tmp_path / "state"))
    for name in ("KAVR_SIM_FAIL", "KAVR_SIM_FAIL_DEVICE", "KAVR_SIM_KEEP", "KAVR_SIM_DEVICES", "KAVR_SIM_RESET"):
        monkeypatch.delenv(name, raising=False)
    return tmp_path


@pytest.fixture
def open_session():
    """kavr.open on the server under test; closed after the test."""
    opened = []

    def open_(**options):
        session = kavr.open(command=server_command(), **options)
        opened.append(session)
        return session

    yield open_
    for session in opened:
        try:
            session.close()
        except kavr.KavrError:
            pass


@pytest.fixture
def session(open_session):
    return open_session()
