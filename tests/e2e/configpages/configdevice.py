"""What the configuration pages' end-to-end test needs done to a simulated device behind the
wizard's back.

usage: configdevice.py password N NEW   change device N's administrator password through its
                                        own form, as a browser would (nothing else changes)
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "sim"))
import simtest  # noqa: E402
from simtest import Device  # noqa: E402


def change_password(device, new):
    current = device.state()["running"]["password"]
    body = "oldpass=%s&newpass=%s&confpass=%s&save=Apply&submit-url=%%2F01_01_02_passset.asp" % (
        current, new, new)
    answer = simtest.exchange(device.ip, simtest.form_post(
        device, "/goform/formPasswordSetup", body, auth=device.auth(password=current)))
    if answer.status != 200 or "has been changed" not in answer.text:
        raise SystemExit("the device kept its password: %r" % answer.text[-200:])
    # From here on the record holds only what the wizard sends.
    open(device.record_path, "wb").close()


def main():
    if len(sys.argv) != 4 or sys.argv[1] != "password":
        raise SystemExit(__doc__)
    change_password(Device(int(sys.argv[2])), sys.argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main())
