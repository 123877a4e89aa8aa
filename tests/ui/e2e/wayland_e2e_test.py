#!/usr/bin/python3
"""Drives the real program as a Wayland client of a headless compositor.

    /usr/bin/python3 wayland_e2e_test.py --program build/quorvane \
        --site tools/demo-site/demo_site.py

The program runs with GDK_BACKEND=wayland under weston's headless backend,
against the demo site. A headless compositor has no input devices, so every
step goes through the accessibility tree: buttons are pressed and the link
followed through their accessible actions, the keyword set through the
edit box's editable text. The path:

  1. the window appears at its size, with the search button disabled;
  2. 支持作者 widens it; following a link of the start page enables the
     search button, narrows the window and hands the link to the browser;
  3. a keyword searched fills the list with page 1's shares;
  4. the title bar's close button ends the program with status 0;
  5. nothing the program wrote to standard error is a toolkit warning:
     what Wayland does not let a client do (centre itself on the screen,
     choose the compositor's frame buttons) is left undone quietly.

Exits 0 when every check holds; otherwise prints what failed, with the logs,
and exits 1.
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as e2e  # noqa: E402
from e2e_test import CheckFailed, check, find, refresh, wait_for  # noqa: E402

NORMAL_SIZE = (540, 374)
WIDE_WIDTH = 853

# GLib's log lines: "(quorvane:123): Gtk-WARNING **: 12:00:00.000: text".
TOOLKIT_MESSAGE = re.compile(r"^\((?P<process>[^:)]+):\d+\): (?P<domain>[\w-]*)-(?P<level>WARNING|CRITICAL|ERROR) \*\*: "
                             r"(?:[\d:.]+: )?(?P<text>.*)$")

# A headless compositor offers no seat at all, which no desktop session
# does: the toolkit then asks a missing seat for its keyboard and pointer.
# Nothing of the program's own takes this path.
NO_SEAT_MESSAGES = (
    "gdk_seat_get_keyboard: assertion 'GDK_IS_SEAT (seat)' failed",
    "gdk_seat_get_pointer: assertion 'GDK_IS_SEAT (seat)' failed",
    "gdk_device_get_position_double: assertion 'GDK_IS_DEVICE (device)' failed",
)


def act(node, what, names=("click", "press", "jump", "activate")):
    """Carries out the node's accessible action of one of these names."""
    action = node.queryAction()
    offered = [action.getName(i) for i in range(action.nActions)]
    for i, name in enumerate(offered):
        if name in names:
            check(action.doAction(i), f"{what}: the action {name!r} failed")
            return
    raise CheckFailed(f"{what} offers no action of {names!r}, only {offered!r}")


def size(node):
    return tuple(e2e.extents(refresh(node))[2:])


def wait_for_size(frame, wanted, what):
    try:
        wait_for(what, lambda: size(frame) == wanted)
    except CheckFailed as failure:
        raise CheckFailed(f"{failure}: the window is {size(frame)}, not {wanted}") from None


def toolkit_warnings(log):
    found = []
    for line in log.splitlines():
        match = TOOLKIT_MESSAGE.match(line.strip())
        if match and match["text"] not in NO_SEAT_MESSAGES:
            found.append(line.strip())
    return found


def drive(session, site):
    pyatspi = e2e.pyatspi
    frame = wait_for("the window titled " + e2e.TITLE, e2e.main_window)
    button = lambda label: find(frame, pyatspi.ROLE_PUSH_BUTTON, label)  # noqa: E731
    search = wait_for("搜搜搜", lambda: button("搜搜搜"))
    support = wait_for("支持作者", lambda: button("支持作者"))

    # 1. The window at its size, searching disabled.
    wait_for_size(frame, NORMAL_SIZE, "the window at its size")
    check(not e2e.is_sensitive(search), "搜搜搜 is enabled at start")

    # 2. Widen, follow a link of the start page, come back narrow.
    act(support, "支持作者")
    wait_for_size(frame, (WIDE_WIDTH, NORMAL_SIZE[1]), "the window to widen")
    link = wait_for("a link of the start page inside the window", lambda: e2e.visible_link(frame))
    act(link, "the start page's link")
    wait_for("搜搜搜 to be enabled", lambda: e2e.is_sensitive(search))
    wait_for_size(frame, NORMAL_SIZE, "the window to narrow again")
    opened = wait_for("the link to be handed to the browser", session.links_opened)
    check(all(l.lower().startswith(("http://", "https://")) for l in opened), f"opened links {opened!r}")

    # 3. A keyword searched: page 1's shares fill the list.
    entry = wait_for("the keyword box", lambda: find(frame, pyatspi.ROLE_TEXT))
    entry.queryEditableText().setTextContents(e2e.KEYWORD)
    wait_for("the keyword to arrive in the box", lambda: entry.queryText().getText(0, -1) == e2e.KEYWORD)
    act(search, "搜搜搜")
    table = wait_for("the results list", lambda: find(frame, pyatspi.ROLE_TABLE) or find(frame, pyatspi.ROLE_TREE_TABLE))
    page1 = e2e.expected_rows(site, 1)
    check(page1, "the demo site lists nothing on page 1")
    rows = wait_for(f"{len(page1)} rows", lambda: (lambda r: r if len(r) >= len(page1) else None)(e2e.table_rows(table)))
    check(rows == page1, f"page 1 rows:\n  got      {rows!r}\n  expected {page1!r}")

    # 4. The title bar's close button ends the program.
    act(wait_for("the title bar's close button", lambda: e2e.close_button(frame)), "the close button")
    log = e2e.expect_clean_exit(session)

    # 5. Quiet on standard error.
    warnings = toolkit_warnings(log)
    check(not warnings, "the program wrote toolkit warnings:\n  " + "\n  ".join(warnings))


if __name__ == "__main__":
    sys.exit(e2e.run(__doc__.splitlines()[0], drive, wayland=True))
