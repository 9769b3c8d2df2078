# SPDX-License-Identifier: MIT
"""`/usr/bin/python3 accessible_tree.py APPLICATION` prints, as one JSON list, every accessible
object a screen reader finds under the application, or null while it is not listed. Debian's
interpreter has pyatspi; run it on the accessibility bus launcher's session bus, without umockdev's preload.
"""

import json
import sys

import pyatspi


def spoken_name(accessible, ancestors):
    """The labels that label the accessible, or else its own name. A group box labels everything in
    it, but names the group, not each control; a label's closing colon is not said."""
    labels = [relation.getTarget(i) for relation in accessible.getRelationSet()
              if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(relation.getNTargets())]
    said = " ".join(label.name for label in labels if label not in ancestors and label.name)
    return (said or accessible.name).removesuffix(":")


def extents(accessible):
    """[x, y, width, height] on the screen, or None for an accessible that has no place there."""
    try:
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return None
    return [box.x, box.y, box.width, box.height]


def role(accessible):
    return accessible.getRole().value_nick.replace("-", " ")


def everything_under(accessible, ancestors=()):
    for child in (child for child in accessible if child is not None):
        state = child.getState()
        yield {"role": role(child), "name": child.name, "spoken": spoken_name(child, ancestors),
               "description": child.description, "within": [role(a) for a in ancestors],
               "focusable": state.contains(pyatspi.STATE_FOCUSABLE), "visible": state.contains(pyatspi.STATE_VISIBLE),
               "showing": state.contains(pyatspi.STATE_SHOWING), "extents": extents(child)}
        yield from everything_under(child, (*ancestors, child))


if __name__ == "__main__":
    found = [app for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == sys.argv[1]]
    print(json.dumps(list(everything_under(found[0])) if found else None))
