#!/usr/bin/python3
# Reads a running Velmora through AT-SPI as a screen reader does (run by
# scripts/atspi-velmora.sh inside its own session bus and X server): finds
# the grid, reads its columns, rows, names, sizes and expanded states,
# checks the usual rules (no unnamed button, no focusable object without a
# name, no table cell without a column header), then presses Down and waits
# for the focus event of the next row's cell.
#   atspi_velmora.py EXPECTED_ROOT_NAME
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

TIMEOUT_S = 30


def fail(message):
    print("atspi-velmora: FAIL: " + message)
    sys.exit(1)


def find_app(name):
    deadline = time.time() + TIMEOUT_S
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower() == name:
                return app
        time.sleep(0.2)
    fail("no application named %s on the accessibility bus" % name)


def walk(node, depth=0, limit=2000):
    """Every object below node, not entering table cells' subtrees twice."""
    seen = []
    stack = [(node, depth)]
    while stack and len(seen) < limit:
        current, level = stack.pop()
        if current is None:
            continue
        seen.append(current)
        role = current.getRole()
        if role in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE):
            continue  # cells are read through the table interface
        try:
            for child in current:
                stack.append((child, level + 1))
        except Exception:
            pass
    return seen


def find_grid(app):
    deadline = time.time() + TIMEOUT_S
    while time.time() < deadline:
        for node in walk(app):
            if node.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE):
                try:
                    table = node.queryTable()
                except NotImplementedError:
                    continue
                if table.nRows > 0:
                    return node, table
        time.sleep(0.2)
    fail("no table with rows")


def state_names(node):
    states = node.getState()
    names = []
    for state, label in ((pyatspi.STATE_EXPANDABLE, "expandable"), (pyatspi.STATE_EXPANDED, "expanded"),
                         (pyatspi.STATE_FOCUSED, "focused"), (pyatspi.STATE_SELECTED, "selected")):
        if states.contains(state):
            names.append(label)
    return names


def main():
    expected_root = sys.argv[1]
    app = find_app("velmora")
    frame = app[0]
    print("window: %r" % frame.name)
    if "Velmora" not in frame.name:
        fail("the window's title does not name Velmora")

    # Orca's checks over the window's objects (the grid's cells below).
    unnamed = []
    for node in walk(app):
        role = node.getRole()
        states = node.getState()
        if node.name:
            continue
        if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON):
            unnamed.append("%s %s (in %s %r)" % (node.getRoleName(), node.description, node.parent.getRoleName() if node.parent else "-", node.parent.name if node.parent else ""))
        elif states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING) and role not in (
                pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_SCROLL_BAR):
            unnamed.append("focusable %s" % node.getRoleName())
    for node in walk(app):
        if node.getRole() == pyatspi.ROLE_STATUS_BAR:
            texts = [child.name for child in node if child is not None and child.name]
            print("status bar: %r %r" % (node.name, texts))

    grid, table = find_grid(app)
    print("grid: %r, role %s, %d rows x %d columns" % (grid.name, grid.getRoleName(), table.nRows, table.nColumns))
    if not grid.name:
        unnamed.append("the grid")
    if unnamed:
        fail("objects without a name: " + ", ".join(unnamed))
    columns = [table.getColumnDescription(column) for column in range(table.nColumns)]
    print("columns: %s" % columns)
    if "Name" not in columns or "Size" not in columns:
        fail("the Name and Size columns are not read")
    name_column, size_column = columns.index("Name"), columns.index("Size")
    rows = []
    for row in range(table.nRows):
        name_cell = table.getAccessibleAt(row, name_column)
        size_cell = table.getAccessibleAt(row, size_column)
        rows.append((name_cell.name, size_cell.name, state_names(name_cell)))
        for column in range(table.nColumns):
            if table.getColumnHeader(column) is None and column == 0:
                fail("row %d column %d has no header" % (row, column))
    for name, size, states in rows:
        print("row: %-40s %-14s %s" % (name, size, " ".join(states)))
    if not any(expected_root in name for name, _, _ in rows):
        fail("the root %s is not among the rows" % expected_root)
    if not any("expandable" in states for _, _, states in rows):
        fail("no expandable row")

    # The focus: Down moves it to the next row; the screen reader hears it.
    focused = []

    def on_focus(event):
        if event.detail1 == 1:
            focused.append(event.source.name)

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Velmora"], capture_output=True,
                            text=True).stdout.split()
    if window:
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=False, stderr=subprocess.DEVNULL)

    # Home focuses the root, Right opens it, Down moves to its first child.
    def press():
        subprocess.run(["xdotool", "key", "Home", "Right"], check=False)
        GLib.timeout_add(500, lambda: subprocess.run(["xdotool", "key", "Down"], check=False) and False)
        return False

    def stop():
        pyatspi.Registry.stop()
        return False

    GLib.timeout_add(500, press)
    GLib.timeout_add(4000, stop)
    pyatspi.Registry.start()
    print("focus events: %s" % focused)
    print("after Right: %d rows, the root %s" % (table.nRows, " ".join(state_names(table.getAccessibleAt(0, name_column)))))
    for row in range(1, table.nRows):
        name_cell = table.getAccessibleAt(row, name_column)
        print("row: %-40s %-14s %s" % (name_cell.name, table.getAccessibleAt(row, size_column).name,
                                       " ".join(state_names(name_cell))))
    now = [table.getAccessibleAt(row, name_column) for row in range(1, table.nRows)]
    now = [cell.name for cell in now if cell.getState().contains(pyatspi.STATE_FOCUSED)]
    if table.nRows < 2 or not now:
        fail("Right did not open the root, or Down moved no focus")
    if not focused or focused[-1] != now[0]:
        fail("the focus on %r was not announced (heard %s)" % (now[0], focused))
    print("atspi-velmora: ok")


if __name__ == "__main__":
    main()
