"""A session with kavrctl serve: the child process, its requests and the
controllers it reaches."""

import collections
import json
import math
import os
import shutil
import subprocess
import threading

from .errors import KavrError, NotFound, ServerGone, error_from
from .records import record_type

# How many of the server's last lines on standard error a ServerGone quotes.
_STDERR_LINES = 20

# One encoder for every request: json.dumps with options makes a new one per call.
_encode = json.JSONEncoder(separators=(",", ":"), allow_nan=False).encode

# What `describe` calls each record, and the class name it gets here.
_RECORDS = {"state": "State", "mode": "Mode", "parameters": "Parameters",
            "start_parameters": "StartParameters"}

Started = collections.namedtuple("Started", "destination speed start_parameters")
Started.__doc__ = "A move started: the destination, the speed the library left and the start parameters sent."


def _field_value(value):
    """A value as the server takes it: a float that is not finite by name."""
    if isinstance(value, float) and not math.isfinite(value):
        return "NaN" if math.isnan(value) else ("Infinity" if value > 0 else "-Infinity")
    return value


def _fields(fields):
    return {name: _field_value(value) for name, value in fields.items()}


def _find_kavrctl(kavrctl):
    if kavrctl:
        return str(kavrctl)
    if os.environ.get("KAVRCTL"):
        return os.environ["KAVRCTL"]
    found = shutil.which("kavrctl")
    if not found:
        raise KavrError("kavrctl not found: pass kavrctl=PATH, set KAVRCTL, or put it on PATH")
    return found


class Controller:
    """One controller of the session, as `list` numbers it."""

    def __init__(self, session, number, serial, version):
        self._session = session
        self.number = number
        self.serial = serial
        self.version = version

    def __repr__(self):
        return "Controller(number=%d, serial=%r, version=%r)" % (self.number, self.serial, self.version)

    def _call(self, method, **params):
        params["device"] = self.number
        return self._session.call(method, **params)

    def _record(self, name, method, **params):
        return self._session.record_type(name).from_json(self._call(method, **params))

    def state(self):
        return self._record("state", "state")

    def mode(self):
        return self._record("mode", "mode")

    def parameters(self):
        return self._record("parameters", "parameters")

    def start_parameters(self):
        return self._record("start_parameters", "start_parameters")

    def set_mode(self, verify=False, **fields):
        """Reads the mode, writes the fields named into it and returns the mode written."""
        return self._record("mode", "set_mode", fields=_fields(fields), verify=verify)

    def set_parameters(self, verify=False, **fields):
        """Reads the parameters, writes the fields named and returns the parameters written."""
        return self._record("parameters", "set_parameters", fields=_fields(fields), verify=verify)

    def start(self, destination, speed, divisor=1, **fields):
        """Starts a move; start parameter fields may be named (SlowStart=True)."""
        self._session._started.add(self.number)
        result = self._call("start", destination=destination, speed=_field_value(float(speed)),
                            divisor=divisor, fields=_fields(fields))
        start = self._session.record_type("start_parameters").from_json(result["start_parameters"])
        return Started(result["destination"], float(result["speed"]), start)

    def wait(self, timeout=None):
        """Waits until the motor stops (at most `timeout` seconds); returns the last state."""
        return self._session.wait([self], timeout)[0]

    def stop(self):
        self._call("stop")
        self._session._started.discard(self.number)

    def save(self):
        self._call("save")

    def last_error(self):
        return self._session.call("last_error")


class Session:
    """kavrctl serve as a child process; use it in a `with` block."""

    def __init__(self, command):
        self._next_id = 0
        self._types = {}
        self._started = set()
        self._stderr = collections.deque(maxlen=_STDERR_LINES)
        try:
            self._process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE)
        except OSError as error:
            raise KavrError("cannot start %s: %s" % (command[0], error)) from error
        self._stderr_reader = threading.Thread(target=self._read_stderr, daemon=True)
        self._stderr_reader.start()

    def _read_stderr(self):
        for line in self._process.stderr:
            self._stderr.append(line.decode("utf-8", "replace").rstrip("\r\n"))

    def _gone(self):
        try:
            code = self._process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self._process.kill()
            code = self._process.wait()
        self._stderr_reader.join(timeout=5)
        words = "\n".join(self._stderr) or "(nothing on standard error)"
        return ServerGone("kavrctl serve ended (exit code %s): %s" % (code, words))

    def call(self, method, **params):
        """Sends one request and returns its result; raises the error it got."""
        self._next_id += 1
        request = {"jsonrpc": "2.0", "id": self._next_id, "method": method}
        if params:
            request["params"] = params
        line = (_encode(request) + "\n").encode("utf-8")
        try:
            self._process.stdin.write(line)
            self._process.stdin.flush()
            answer = self._process.stdout.readline()
        except (BrokenPipeError, OSError, ValueError):
            raise self._gone() from None
        if not answer:
            raise self._gone()
        response = json.loads(answer)
        if response.get("id") != self._next_id:
            raise KavrError("kavrctl serve answered request %r out of turn: %r" % (self._next_id, response))
        if "error" in response:
            raise error_from(response["error"])
        return response["result"]

    def record_type(self, name):
        """The record class of `name` ("state", "mode", ...), from `describe`."""
        if not self._types:
            described = self.call("describe")
            self._types = {key: record_type(_RECORDS.get(key, key), rows) for key, rows in described.items()}
        return self._types[name]

    def version(self):
        return self.call("version")

    def controllers(self):
        return [Controller(self, c["number"], c["serial"], c["version"]) for c in self.call("list")]

    def controller(self, number=None, serial=None):
        """The controller numbered `number` or with `serial`; with neither, the only one attached."""
        found = self.controllers()
        if number is not None or serial is not None:
            matches = [c for c in found if (number is None or c.number == number)
                       and (serial is None or c.serial == serial)]
            if not matches:
                raise NotFound("there is no controller %s" % (number if serial is None else repr(serial)), 3)
            return matches[0]
        if len(found) != 1:
            raise NotFound("%d controllers are attached; choose one by number or serial: %s"
                           % (len(found), ", ".join(c.serial for c in found)), 4)
        return found[0]

    def wait(self, controllers, timeout=None):
        """Waits until every controller's motor stops, polling them in turn; returns their last states."""
        params = {"controllers": [c.number for c in controllers]}
        if timeout is not None:
            params["timeout"] = timeout
        state = self.record_type("state")
        return [state.from_json(s) for s in self.call("wait", **params)]

    def run_plan(self, plan, controllers=None, report=None, junit=None):
        """Runs a plan (a file's path or a plan as a dict) on the controllers (a list, "all", or
        None for the only one); returns the report with its verdicts."""
        params = {"plan": plan if isinstance(plan, dict) else os.fspath(plan)}
        if controllers == "all":
            params["controllers"] = "all"
        elif controllers is not None:
            params["controllers"] = [c.number if isinstance(c, Controller) else c for c in controllers]
        if report is not None:
            params["report"] = os.fspath(report)
        if junit is not None:
            params["junit"] = os.fspath(junit)
        return self.call("run", **params)

    def close(self):
        """Ends the session, leaving the controllers as they are."""
        if self._process.poll() is None:
            try:
                self.call("close")
            except ServerGone:
                pass
            try:
                self._process.stdin.close()
            except OSError:
                pass
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._stderr_reader.join(timeout=5)
        for stream in (self._process.stdout, self._process.stderr):
            stream.close()

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        # Leaving on an exception stops what this session started, as a
        # fixture's teardown would; a normal exit leaves the motors alone.
        if kind is not None and not isinstance(value, ServerGone):
            for number in sorted(self._started):
                try:
                    self.call("stop", device=number)
                except KavrError:
                    pass
        self.close()
        return False


def open(kavrctl=None, library=None, trace=None, command=None):  # noqa: A001 - the package's entry point
    """Starts kavrctl serve and returns the session.

    kavrctl: the program (else $KAVRCTL, else on PATH); library: the
    controller library file; trace: a transcript file of every call;
    command: the whole command line to start instead of kavrctl, for
    example ["wine", "C:/kavr/kavrctl.exe"].
    """
    program = list(command) if command else [_find_kavrctl(kavrctl)]
    if library is not None:
        program += ["--library", os.fspath(library)]
    if trace is not None:
        program += ["--trace", os.fspath(trace)]
    return Session(program + ["serve"])
