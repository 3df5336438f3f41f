"""Every method and exception of the package, on the stand-in's two controllers."""

import math
import os
import signal
import sys

import pytest

import kavr
from conftest import server_command


def test_reads_give_typed_read_only_records(session):
    first, second = session.controllers()
    assert (first.number, first.serial, first.version) == (1, "KAVRSIM000000001", "2.14")
    assert session.controller(serial="KAVRSIM000000002").number == second.number == 2
    state = first.state()
    assert isinstance(state.CurrentPosition, int) and isinstance(state.Running, bool)
    assert isinstance(state.Temperature, float) and state.Running is False
    with pytest.raises(AttributeError):
        state.CurrentPosition = 5
    assert type(state).fields["CurrentPosition"].min == -2**31
    assert type(first.parameters()).fields["SyncOutPulse"].max == 255
    assert isinstance(first.mode().PowerOff, bool)
    assert first.start_parameters().StepDivisor in (1, 2, 4, 8)
    assert session.version()["kavrctl"]


def test_writes_return_the_record_written(session):
    c = session.controller(number=1)
    assert c.set_mode(verify=True, SyncOutCount=3, SyncOutEnabled=True).SyncOutCount == 3
    written = c.set_parameters(AccelerationTime=150.5, BacklashDistance=-20)
    assert (written.AccelerationTime, written.BacklashDistance) == (150.5, -20)
    assert c.parameters() == written
    c.save()
    assert os.listdir(os.environ["KAVR_SIM_FLASH_DIR"])
    assert isinstance(c.last_error(), str)


def test_moves_and_waits(session):
    first, second = session.controllers()
    started = first.start(2000, 5000, divisor=2, SlowStart=True)
    assert (started.destination, started.start_parameters.SlowStart) == (2000, True)
    second.start(-1000, 5000)
    stopped = session.wait([first, second], timeout=10)
    assert [s.CurrentPosition for s in stopped] == [2000, -1000]
    first.start(0, 100)
    with pytest.raises(kavr.Timeout):
        first.wait(timeout=0.1)
    first.stop()
    assert first.wait(timeout=5).Running is False


@pytest.mark.parametrize("action, error, field", [
    (lambda s: s.controller(number=1).set_parameters(SyncOutPulse=300), kavr.RefusedValue, "SyncOutPulse"),
    (lambda s: s.controller(number=1).set_mode(NoSuchField=1), kavr.RefusedValue, "NoSuchField"),
    (lambda s: s.controller(number=1).start(0, -5), kavr.RefusedValue, "speed"),
    (lambda s: s.controller(number=1).start(0, 5, divisor=3), kavr.RefusedValue, "divisor"),
    (lambda s: s.controller(number=9), kavr.NotFound, None),
    (lambda s: s.controller(), kavr.NotFound, None),
    (lambda s: s.call("state", device=9), kavr.NotFound, None),
    (lambda s: s.call("no_such_method"), kavr.KavrError, None),
])
def test_refusals_raise_their_exception(session, action, error, field):
    with pytest.raises(error) as raised:
        action(session)
    if field is not None:
        assert raised.value.field == field


def test_a_value_the_controller_does_not_keep_is_a_verify_error(open_session, monkeypatch):
    monkeypatch.setenv("KAVR_SIM_KEEP", "SyncOutCount=24")
    c = open_session().controller(number=1)
    with pytest.raises(kavr.VerifyError) as raised:
        c.set_mode(verify=True, SyncOutCount=25)
    assert raised.value.differences == [("SyncOutCount", 25, 24)]
    assert raised.value.serial == "KAVRSIM000000001"


def test_a_failed_library_call_is_a_library_error(open_session, monkeypatch):
    monkeypatch.setenv("KAVR_SIM_FAIL", "GetMode=7")
    c = open_session().controller(number=2)
    with pytest.raises(kavr.LibraryError) as raised:
        c.mode()
    error = raised.value
    assert (error.entry, error.code, error.serial) == ("GetMode", 7, "KAVRSIM000000002")
    assert "injected fault" in error.text


def test_a_killed_server_is_server_gone_with_its_last_words(session):
    c = session.controller(number=1)
    # The server's note on standard error is its last line there.
    c.set_parameters(ButtonTimeout1=86400001)
    session._process.kill()
    with pytest.raises(kavr.ServerGone) as raised:
        c.state()
    assert "ButtonTimeout1: 86400001 is sent as 86400000" in str(raised.value)


def test_leaving_the_with_block_on_an_exception_stops_what_it_started(open_session):
    with pytest.raises(ZeroDivisionError):
        with open_session() as session:
            session.controller(number=1).start(100000, 100)
            1 / 0
    with open_session() as session:
        c = session.controller(number=1)
        assert c.state().Running is False
        c.start(100000, 100)
    with open_session() as session:
        c = session.controller(number=1)
        assert c.state().Running is True
        c.stop()


@pytest.mark.skipif(sys.platform == "win32" or server_command() is not None, reason="POSIX signals to kavrctl")
def test_sigterm_stops_what_the_server_started(open_session):
    session = open_session()
    session.controller(number=1).start(100000, 100)
    session._process.send_signal(signal.SIGTERM)
    assert session._process.wait(timeout=10) == 130
    assert open_session().controller(number=1).state().Running is False


def test_plans_run_from_a_file_or_a_dict(session, tmp_path):
    plan = {"name": "quick", "steps": [{"step": "start", "destination": 500, "speed": 5000},
                                       {"step": "wait", "seconds": 5},
                                       {"step": "expect", "position": 500, "running": False}]}
    report = session.run_plan(plan, controllers="all", junit=tmp_path / "junit.xml")
    assert report["result"] == "passed", report
    assert [c["result"] for c in report["controllers"]] == ["passed", "passed"]
    assert (tmp_path / "junit.xml").exists()
    failing = dict(plan, steps=[{"step": "expect", "position": 12345}])
    path = tmp_path / "failing.json"
    path.write_text(__import__("json").dumps(failing))
    assert session.run_plan(path, controllers=[1])["result"] == "failed"
    with pytest.raises(kavr.RefusedValue):
        session.run_plan({"steps": 5})


def test_not_finite_floats_and_missing_programs():
    assert kavr.session._field_value(math.inf) == "Infinity"
    with pytest.raises(kavr.KavrError):
        kavr.open(kavrctl=os.path.join(os.sep, "no", "such", "kavrctl"))
