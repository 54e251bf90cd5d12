#!/usr/bin/python3
# Prints the accessibility tree of the running applications on the session's bus as JSON, so a
# desktop test can read what a person sees: windows, labels, buttons, editor texts and where
# they are on the screen. Usage: atspitree.py [APPLICATION-NAME]
import json
import sys

import pyatspi


def node(accessible, depth):
    entry = {"role": accessible.getRoleName(), "name": accessible.name or "", "text": ""}
    try:
        extents = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        entry["rect"] = [extents.x, extents.y, extents.width, extents.height]
    except NotImplementedError:
        entry["rect"] = [0, 0, 0, 0]
    try:
        entry["text"] = accessible.queryText().getText(0, -1)
    except NotImplementedError:
        pass
    entry["showing"] = accessible.getState().contains(pyatspi.STATE_SHOWING)
    children = []
    if depth < 30:
        for index in range(accessible.childCount):
            child = accessible.getChildAtIndex(index)
            if child is not None:
                children.append(node(child, depth + 1))
    entry["children"] = children
    return entry


def main():
    wanted = sys.argv[1] if len(sys.argv) > 1 else None
    desktop = pyatspi.Registry.getDesktop(0)
    applications = []
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and (wanted is None or application.name == wanted):
            applications.append(node(application, 0))
    json.dump(applications, sys.stdout)


main()
