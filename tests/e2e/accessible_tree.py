# SPDX-License-Identifier: MIT
"""Prints what a screen reader learns of one application over the accessibility bus: every
accessible object under it, as one JSON list, or null while the application is not listed.

    /usr/bin/python3 accessible_tree.py APPLICATION

Run it with Debian's interpreter (it has pyatspi), on the session bus the accessibility bus
launcher runs on, and without umockdev's preload.
"""

import json
import sys

import pyatspi


def spoken_name(accessible, ancestors):
    """What a screen reader says to name the accessible: the labels that label it, or else its own
    name. A group box labels everything in it, but names the group, not each control; a label's
    closing colon is not said."""
    labels = [relation.getTarget(i) for relation in accessible.getRelationSet()
              if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for i in range(relation.getNTargets())]
    said = " ".join(label.name for label in labels if label not in ancestors and label.name)
    return (said or accessible.name).removesuffix(":")


def extents(accessible):
    """[x, y, width, height] on the screen, or None for an accessible that has no place there."""
    try:
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return None
    return [box.x, box.y, box.width, box.height]


def described(accessible, ancestors):
    state = accessible.getState()
    return {"role": role(accessible), "name": accessible.name, "spoken": spoken_name(accessible, ancestors),
            "description": accessible.description, "within": [role(a) for a in ancestors],
            "focusable": state.contains(pyatspi.STATE_FOCUSABLE), "visible": state.contains(pyatspi.STATE_VISIBLE),
            "showing": state.contains(pyatspi.STATE_SHOWING), "extents": extents(accessible)}


def role(accessible):
    return accessible.getRole().value_nick.replace("-", " ")


def everything_under(accessible, ancestors=()):
    for child in accessible:
        if child is not None:
            yield described(child, ancestors)
            yield from everything_under(child, (*ancestors, child))


def main(application):
    desktop = pyatspi.Registry.getDesktop(0)
    found = [app for app in desktop if app is not None and app.name == application]
    print(json.dumps(list(everything_under(found[0])) if found else None))


if __name__ == "__main__":
    main(sys.argv[1])
