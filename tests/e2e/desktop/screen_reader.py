"""What a screen reader finds of one running program, read over AT-SPI as a reader reads it.

usage: screen_reader.py PID   prints every object of the program's accessibility tree that is
                              showing, one JSON object of texts a line: path ("0/2/1"), role,
                              name, description, states and actions (space-separated), and text
                              and value where the object has a text or value interface
Exits 77 when pyatspi is missing, 1 when the program is not on the accessibility bus.
"""

import json
import sys
import time

try:
    import pyatspi
except ImportError:
    print("pyatspi is not installed", file=sys.stderr)
    sys.exit(77)

STATES = {
    pyatspi.STATE_FOCUSED: "focused",
    pyatspi.STATE_FOCUSABLE: "focusable",
    pyatspi.STATE_SHOWING: "showing",
    pyatspi.STATE_ENABLED: "enabled",
    pyatspi.STATE_CHECKED: "checked",
}


def describe(obj, path):
    entry = {"path": "/".join(map(str, path)), "role": obj.getRoleName(), "name": obj.name or "",
             "description": obj.description or ""}
    states = obj.getState()
    entry["states"] = " ".join(word for state, word in STATES.items() if states.contains(state))
    try:
        text = obj.queryText()
        entry["text"] = text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    try:
        entry["value"] = str(obj.queryValue().currentValue)
    except NotImplementedError:
        pass
    try:
        action = obj.queryAction()
        entry["actions"] = " ".join(action.getName(i) for i in range(action.nActions))
    except NotImplementedError:
        pass
    return entry


def walk(obj, path, out):
    out.append(describe(obj, path))
    for index in range(obj.childCount):
        child = obj.getChildAtIndex(index)
        # What is not showing (a hidden page, its controls) a reader does not present.
        if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
            walk(child, path + [index], out)


def find_application(pid):
    # The program registers with the bus as it starts; give it a few seconds.
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # a program that just went away
                continue
        time.sleep(0.1)
    return None


def main():
    pid = int(sys.argv[1])
    app = find_application(pid)
    if app is None:
        print("process %d is not on the accessibility bus" % pid, file=sys.stderr)
        return 1
    out = []
    walk(app, [], out)
    for entry in out:
        print(json.dumps(entry))
    return 0


if __name__ == "__main__":
    sys.exit(main())
