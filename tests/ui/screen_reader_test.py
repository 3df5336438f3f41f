# The monitor as a screen reader reads it: over the accessibility bus
# (AT-SPI), from outside the program. Each value's label must carry the
# value itself, and follow the controller; the words for a move that left
# its prediction are the prediction label's description.
# Usage: screen_reader_test.py BIN_DIR (with a display and a session bus).
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

BIN = sys.argv[1]
program = None  # kavrtest, once started


def kavrctl(*args):
    subprocess.run([os.path.join(BIN, "kavrctl"), "-d", "1", *args], check=True, stdout=subprocess.DEVNULL)


def until(what, find, seconds=90.0):
    """The first non-empty result of find(), else a failure naming what and why it gave up: the
    program ended, or it kept running without showing it. A busy machine only makes it slower,
    so the wait goes on while the program lives, up to a bound far above a normal start."""
    begun = time.monotonic()
    while time.monotonic() < begun + seconds:
        try:
            found = find()
        except Exception:  # the tree changes under us while windows open
            found = None
        if found:
            return found
        if program is not None and program.poll() is not None:
            sys.exit(f"FAILED: {what} not found: kavrtest ended (exit code {program.returncode}) "
                     f"after {time.monotonic() - begun:.1f} s")
        time.sleep(0.1)
    sys.exit(f"FAILED: {what} not found in {seconds} s, though kavrtest kept running")


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "kavrtest":
            return app
    return None


def descendant(root, test):
    return pyatspi.findDescendant(root, lambda node: node is not None and test(node))


def names(root, starts):
    return [node.name for node in pyatspi.findAllDescendants(root, lambda n: n.name.startswith(starts))]


# Every process reads the rig: trailer 1 from 10000 up.
rig_folder = tempfile.mkdtemp()
rig = os.path.join(rig_folder, "rig.json")
with open(rig, "w") as file:
    file.write('{"*": {"trailer1": {"from": 10000}}}')
os.environ["KAVR_SIM_RIG"] = rig
kavrctl("set-mode", "Trailer1Enabled=1")
kavrctl("start", "3000", "5000", "--wait", "10")
program = subprocess.Popen([os.path.join(BIN, "kavrtest"), "--monitor"])
try:
    app = until("kavrtest on the accessibility bus", application)
    ok = until("the OK button of the device list",
               lambda: descendant(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "OK"))
    ok.queryAction().doAction(0)
    monitor = until("the monitor", lambda: descendant(app, lambda n: n.name.startswith("Monitor - S/N")))

    def value_reads(name):
        return lambda: descendant(monitor, lambda n: n.getRole() == pyatspi.ROLE_LABEL and n.name == name)

    for name in ("Position: 3000", "Motion: Not Running", "Power: Half", "Step divisor: 1"):
        until(f'a label read as "{name}"', value_reads(name))
    kavrctl("start", "-250", "5000", "--wait", "10")
    until('the position followed to "Position: -250"', value_reads("Position: -250"))
    kavrctl("start", "20000", "5000", "--wait", "10")
    prediction = until("the prediction label", lambda: descendant(
        monitor, lambda n: n.getRole() == pyatspi.ROLE_LABEL and n.name == "Prediction"))
    until("the words for the trailer stop",
          lambda: prediction.description.startswith("stopped at 10000 after ")
          and prediction.description.endswith(" s: Trailer 1 pushed"))
    print("prediction:", prediction.description)
    print("read:", names(monitor, ("Position:", "Motion:", "Power:", "Input voltage:", "Temperature:",
                                    "Emergency:")))
finally:
    program.terminate()
    program.wait()
    shutil.rmtree(rig_folder, ignore_errors=True)
