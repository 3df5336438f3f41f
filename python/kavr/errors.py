"""The exceptions a session raises, one class per kind of failure."""


class KavrError(Exception):
    """Any failure a request to kavrctl serve reports.

    ``rpc_code`` is the error's code on the wire, ``data`` its details and
    ``serial`` the serial number of the controller it concerns, if any.
    """

    def __init__(self, message, rpc_code=None, data=None):
        super().__init__(message)
        self.message = message
        self.rpc_code = rpc_code
        self.data = data if isinstance(data, dict) else {}
        self.serial = self.data.get("serial")


class LibraryError(KavrError):
    """The controller library failed a call, or cannot be loaded.

    ``entry`` names the call ("GetMode"), ``code`` is its result code and
    ``text`` the library's last-error text (both None when the library
    could not be loaded at all).
    """

    def __init__(self, message, rpc_code=None, data=None):
        super().__init__(message, rpc_code, data)
        self.entry = self.data.get("entry")
        self.code = self.data.get("result")
        self.text = self.data.get("text")


class RefusedValue(KavrError):
    """A value was refused before anything was sent; ``field`` names it."""

    def __init__(self, message, rpc_code=None, data=None):
        super().__init__(message, rpc_code, data)
        self.field = self.data.get("field")


class NotFound(KavrError):
    """No such controller, or several attached and none chosen."""


class VerifyError(KavrError):
    """Read back after a write, the controller did not keep every value.

    ``differences`` holds (field, sent, read back) for each.
    """

    def __init__(self, message, rpc_code=None, data=None):
        super().__init__(message, rpc_code, data)
        self.differences = [(d.get("field"), d.get("sent"), d.get("read_back"))
                            for d in self.data.get("differences", [])]


class Timeout(KavrError):
    """A wait ended with a motor still running."""


class ServerGone(KavrError):
    """kavrctl serve ended under the session; its last words on standard
    error are in the message."""


# Error codes on the wire, as kavrctl's exit codes for the same failure.
_BY_CODE = {
    1: RefusedValue,
    -32602: RefusedValue,
    2: LibraryError,
    5: LibraryError,
    3: NotFound,
    4: NotFound,
    6: Timeout,
    9: VerifyError,
}


def error_from(error):
    """The exception for a JSON-RPC error object."""
    code = error.get("code")
    cls = _BY_CODE.get(code, KavrError)
    return cls(error.get("message", "kavrctl serve reported an error"), code, error.get("data"))
