#!/usr/bin/env python3
"""Firmware upload: the wizard against curl posting the same bytes to the same device.

Runs inside the PC namespace of `scripts/netns with same` (scripts/bench puts it there). Each
round runs bench_upload (the real frame, a fresh process: Locate, Connect, the firmware page,
Apply) and then curl with the multipart body the device received from the wizard, taken from
the simulator's record and checked byte for byte against what curl delivered. Both are timed
to the device's last byte, which the simulator stamps as it reads it (`last_upload` in its
state file). Prints Markdown tables.
    measure_upload.py BENCH_UPLOAD [ROUNDS] [MIB]
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.environ["KELDA_SIM"]))
from repeatersim.record import read_records  # noqa: E402

STATE = os.environ["KELDA_DEV1_STATE"]
RECORD = os.environ["KELDA_DEV1_RECORD"]
DEVICE = os.environ["KELDA_DEV1_IP"]


# The wizard's time against curl's, and its peak above idle against the image's size.
TIME_TARGET = 1.05
MEMORY_TARGET = 0.25


def verdict(met):
    return "ok:  " if met else "FAIL:"


def state():
    for _ in range(50):
        try:
            with open(STATE, encoding="utf-8") as handle:
                return json.load(handle)
        except (OSError, ValueError):
            time.sleep(0.02)
    sys.exit("the device's state file cannot be read")


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            sys.exit("timed out waiting for " + what)
        time.sleep(0.05)


def upload_after(start):
    """The device's record of an upload whose first byte came after start."""
    wait_until(lambda: (state()["last_upload"] or {}).get("first_byte_at", 0) > start, 60,
               "the device to take the upload")
    upload = state()["last_upload"]
    if not upload["valid"]:
        sys.exit("the device refused the upload: %s" % upload["detail"])
    return upload


def recorded_upload():
    """Head and body of the one upload request in the record file, once its connection ended."""
    def find():
        for record in read_records(RECORD):
            if record.kind == "tcp" and record.data.startswith(b"POST /goform/formUpload "):
                return record.data
        return None
    wait_until(lambda: find() is not None, 30, "the upload in the record file")
    data = find()
    end = data.index(b"\r\n\r\n")
    # Anything after the counted body (a client's stray CR LF) is not part of it.
    head = data[:end].decode("latin-1")
    length = next(int(line.split(":", 1)[1]) for line in head.split("\r\n")[1:]
                  if line.lower().startswith("content-length:"))
    return head, data[end + 4:end + 4 + length]


def clear_record():
    # The simulator appends; from here on the record holds only the next client's bytes.
    open(RECORD, "wb").close()


def run_wizard(bench, firmware):
    clear_record()
    process = subprocess.Popen([bench, firmware], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = process.communicate(timeout=180)
    if process.returncode != 0:
        sys.exit("bench_upload failed (%d): %s" % (process.returncode, err.decode()[-2000:]))
    line = next(l for l in out.decode().splitlines() if l.startswith("RESULT "))
    result = json.loads(line[len("RESULT "):])
    upload = upload_after(result["applied"])
    head, body = recorded_upload()
    return result, upload, head, body


def run_curl(body_path, headers):
    clear_record()
    command = ["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}",
               # No "Expect: 100-continue": the device never answers it, curl would wait 1 s.
               "-H", "Expect:"]
    for name in ("Content-Type", "Authorization"):
        command += ["-H", "%s: %s" % (name, headers[name.lower()])]
    command += ["--data-binary", "@" + body_path, "http://%s/goform/formUpload" % DEVICE]
    start = time.time()
    process = subprocess.Popen(command, stdout=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    code = process.stdout.read().decode()
    if os.waitstatus_to_exitcode(status) != 0 or code != "200":
        sys.exit("curl failed: %s %s" % (status, code))
    upload = upload_after(start)
    _, body = recorded_upload()
    return start, upload, body, usage.ru_maxrss


def header_fields(head):
    fields = {}
    for line in head.split("\r\n")[1:]:
        name, _, value = line.partition(":")
        fields[name.strip().lower()] = value.strip()
    return fields


def main():
    bench = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    size = int(float(sys.argv[3]) * 1024 * 1024) if len(sys.argv) > 3 else 32 * 1024 * 1024
    with tempfile.TemporaryDirectory() as files:
        firmware = os.path.join(files, "firmware.bin")
        subprocess.run([os.environ["KELDA_MAKE_FIRMWARE"], "--size", str(size), "--version",
                        "1.0.9", firmware], check=True, stdout=subprocess.DEVNULL)
        body_path = os.path.join(files, "body.bin")
        wizard_body = None
        rows = []
        for number in range(1, rounds + 1):
            wait_until(lambda: state()["phase"] == "up", 60, "the device to be up")
            result, upload, head, body = run_wizard(bench, firmware)
            if wizard_body is None:
                wizard_body = body
                headers = header_fields(head)
                with open(body_path, "wb") as handle:
                    handle.write(body)
            elif body != wizard_body:
                sys.exit("the wizard sent another body in round %d" % number)
            sent = result["sent"]
            wizard = {"total": upload["last_byte_at"] - sent,
                      "first": upload["first_byte_at"] - sent,
                      "transfer": upload["last_byte_at"] - upload["first_byte_at"],
                      "returned": result["send_returned"] - sent,
                      "peak": (result["peak_kib"] - result["idle_kib"]) / 1024,
                      "idle": result["idle_kib"] / 1024}
            start, curl_upload, curl_body, curl_rss = run_curl(body_path, headers)
            if curl_body != wizard_body:
                sys.exit("curl's body differs from the wizard's")
            curl = {"total": curl_upload["last_byte_at"] - start,
                    "first": curl_upload["first_byte_at"] - start,
                    "transfer": curl_upload["last_byte_at"] - curl_upload["first_byte_at"],
                    "rss": curl_rss / 1024}
            rows.append((number, wizard, curl))
            print("round %d: wizard %.3f s, curl %.3f s" % (number, wizard["total"],
                                                           curl["total"]), file=sys.stderr)

    mib = size / (1024 * 1024)
    print("%d rounds, %.0f MiB image, body %d bytes (identical for both clients)\n"
          % (rounds, mib, len(wizard_body)))
    print("| round | wizard s | to first byte | transfer | send tick returned | curl s "
          "| to first byte | transfer | ratio | wizard peak above idle MiB |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for number, w, c in rows:
        print("| %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.1f |"
              % (number, w["total"], w["first"], w["transfer"], w["returned"], c["total"],
                 c["first"], c["transfer"], w["total"] / c["total"], w["peak"]))
    median = lambda values: statistics.median(values)  # noqa: E731
    w_total = median([w["total"] for _, w, _ in rows])
    c_total = median([c["total"] for _, _, c in rows])
    peak = median([w["peak"] for _, w, _ in rows])
    ratio = w_total / c_total
    print("\n%s median: wizard %.3f s, curl %.3f s, ratio %.2f (target at most %.2f); ratio of "
          "each round's pair, median %.2f"
          % (verdict(ratio <= TIME_TARGET), w_total, c_total, ratio, TIME_TARGET,
             median([w["total"] / c["total"] for _, w, c in rows])))
    print("%s median peak above idle: %.1f MiB = %.3f x the image (target under %.2f); idle "
          "%.1f MiB; curl's whole peak %.1f MiB"
          % (verdict(peak / mib < MEMORY_TARGET), peak, peak / mib, MEMORY_TARGET,
             median([w["idle"] for _, w, _ in rows]), median([c["rss"] for _, _, c in rows])))


if __name__ == "__main__":
    main()
