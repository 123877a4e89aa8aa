#!/usr/bin/python3
"""Drives the real program, as a user would, in a private headless session.

    /usr/bin/python3 e2e_test.py --program build/quorvane \
        --site tools/demo-site/demo_site.py

The program runs against the demo site with two pages of results. Clicks and
typing are real X input (xdotool); what the window shows is read through
the accessibility tree (AT-SPI), the way assistive tools read it. The path:

  1. the search button starts disabled; 支持作者 widens the window and shows
     the start page, and a real click on one of its links enables the search
     button, narrows the window and hands the link to the default browser;
  2. a keyword typed and searched fills the list with page 1's shares;
  3. 下一页 appends page 2's shares below them;
  4. with 是否删除当前页 checked, 下一页 clears the list and page 3, which
     lists nothing, brings the "信息：" box; closing it leaves an empty list.

Exits 0 when every check holds; otherwise prints what failed, with the logs
of the program and the site, and exits 1.
"""

import argparse
import importlib.util
import os
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Session  # noqa: E402

TITLE = "QuorvaneV1.0"
KEYWORD = "演示abc"
PAGES_WITH_RESULTS = 2
EMPTY_RESULT_TEXT = "你的搜索涉及敏感词汇，如需搜索请购买VIP版本"
EMPTY_RESULT_TITLE = "信息："
FOLDER_SIZE = "文件夹"
STEP_TIMEOUT = 20.0

pyatspi = None  # imported once the session's bus is known


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def wait_for(what, probe, timeout=STEP_TIMEOUT, interval=0.05):
    """Polls `probe` until it returns something true and returns that. The
    accessibility tree changes under our feet while the program works, so a
    failing call counts as "not yet"."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # AT-SPI raises GLib errors for vanished objects
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise CheckFailed(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


# Accessibility tree -------------------------------------------------------


def descendants(root, limit=20000):
    """Every object below `root`, breadth first, each visited once."""
    queue, seen = [root], 0
    while queue and seen < limit:
        node = queue.pop(0)
        seen += 1
        try:
            count = node.childCount
        except Exception:
            continue
        for i in range(count):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                child = None
            if child is not None:
                yield child
                queue.append(child)


def find(root, role, name=None, name_starts=None):
    for node in descendants(root):
        try:
            if node.getRole() != role:
                continue
            if name is not None and node.name != name:
                continue
            if name_starts is not None and not (node.name or "").startswith(name_starts):
                continue
            return node
        except Exception:
            continue
    return None


def refresh(node):
    # Without an event loop of ours the cached states and children go stale.
    try:
        node.clearCache()
    except Exception:
        pass
    return node


def top_levels():
    desktop = refresh(pyatspi.Registry.getDesktop(0))
    for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
        if app is None:
            continue
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None:
                yield app, window


def main_window():
    for app, window in top_levels():
        if window.getRole() == pyatspi.ROLE_FRAME and window.name == TITLE:
            return refresh(window)
    return None


def states(node):
    return refresh(node).getState()


def is_sensitive(node):
    return states(node).contains(pyatspi.STATE_SENSITIVE)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def table_rows(table):
    """The list's cells, row by row, through the Table interface."""
    refresh(table)
    t = table.queryTable()
    rows = []
    for r in range(t.nRows):
        rows.append(tuple(t.getAccessibleAt(r, c).name for c in range(t.nColumns)))
    return rows


def visible_link(frame):
    """A link of the web page that lies inside the window, or None."""
    fx, fy, fw, fh = extents(frame)
    # The web page's objects may hang below the window or, with the web
    # engine in a process of its own, below an application of their own.
    for root in [frame] + [window for _, window in top_levels()]:
        for node in descendants(refresh(root)):
            try:
                if node.getRole() != pyatspi.ROLE_LINK:
                    continue
                x, y, w, h = extents(node)
            except Exception:
                continue
            if w > 0 and h > 0 and x >= fx and x + w <= fx + fw and y >= fy and y + h <= fy + fh:
                return node
    return None


def close_button(frame):
    """The title bar's only button: not one of the window's own controls."""
    own = {"搜搜搜", "上一页", "下一页", "刷新", "支持作者"}
    top = extents(refresh(frame))[1]
    for node in descendants(frame):
        try:
            if node.getRole() != pyatspi.ROLE_PUSH_BUTTON or node.name in own:
                continue
            x, y, w, h = extents(node)
        except Exception:
            continue
        if w > 0 and h > 0 and y < top + 50:
            return node
    return None


# Real input -----------------------------------------------------------------


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10, stdout=subprocess.DEVNULL)


def click(node, what):
    x, y, w, h = wait_for(f"{what} to be on screen", lambda: (lambda e: e if e[2] > 0 and e[3] > 0 else None)(extents(node)))
    xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click", "1")


# The drive ----------------------------------------------------------------


def expected_rows(site, page):
    return [
        (s["name"], s["size"] or FOLDER_SIZE, s["sharer"], s["link"])
        for s in site.shares(KEYWORD, page, PAGES_WITH_RESULTS)
    ]


def drive(session, site):
    frame = wait_for("the window titled " + TITLE, main_window)
    button = lambda label: find(frame, pyatspi.ROLE_PUSH_BUTTON, label)  # noqa: E731
    search = wait_for("搜搜搜", lambda: button("搜搜搜"))
    support = wait_for("支持作者", lambda: button("支持作者"))
    check(not is_sensitive(search), "搜搜搜 is enabled at start")
    narrow_width = extents(frame)[2]

    # 1. Widen, follow a link of the start page, come back narrow with search enabled.
    click(support, "支持作者")
    wait_for("the window to widen", lambda: extents(refresh(frame))[2] > narrow_width + 200)
    link = wait_for("a link of the start page inside the window", lambda: visible_link(frame))
    click(link, "the start page's link")
    wait_for("搜搜搜 to be enabled", lambda: is_sensitive(search))
    wait_for("the window to narrow again", lambda: extents(refresh(frame))[2] < narrow_width + 50)
    opened = wait_for("the link to be handed to the browser", session.links_opened)
    check(all(l.lower().startswith(("http://", "https://")) for l in opened), f"opened links {opened!r}")

    # 2. Type a keyword and search: page 1's shares fill the list.
    entry = wait_for("the keyword box", lambda: find(frame, pyatspi.ROLE_TEXT))
    click(entry, "the keyword box")
    wait_for("the keyword box to take the focus", lambda: states(entry).contains(pyatspi.STATE_FOCUSED))
    box_text = lambda: entry.queryText().getText(0, -1)  # noqa: E731
    # Characters outside the keyboard map are typed through a keycode that
    # xdotool remaps on the fly; on a busy machine the program can read a key
    # before the new map, so a garbled attempt is cleared and typed again.
    for attempt in range(3):
        xdotool("key", "--clearmodifiers", "ctrl+a", "BackSpace")
        xdotool("type", "--delay", "40", KEYWORD)
        try:
            wait_for("the keyword to arrive in the box", lambda: box_text() == KEYWORD, timeout=5)
            break
        except CheckFailed:
            if attempt == 2:
                raise CheckFailed(f"typed {KEYWORD!r}, the box holds {box_text()!r}")
    click(search, "搜搜搜")

    table = wait_for("the results list", lambda: find(frame, pyatspi.ROLE_TABLE) or find(frame, pyatspi.ROLE_TREE_TABLE))
    page1 = expected_rows(site, 1)
    check(page1, "the demo site lists nothing on page 1")
    rows = wait_for(f"{len(page1)} rows", lambda: (lambda r: r if len(r) >= len(page1) else None)(table_rows(table)))
    check(rows == page1, f"page 1 rows:\n  got      {rows!r}\n  expected {page1!r}")
    check(find(frame, pyatspi.ROLE_LABEL, "1") is not None, "the page label does not show 1")
    check(not is_sensitive(button("上一页")), "上一页 is enabled on page 1")

    # 3. The next page appends its shares below page 1's.
    click(button("下一页"), "下一页")
    page2 = expected_rows(site, 2)
    both = page1 + page2
    rows = wait_for(f"{len(both)} rows", lambda: (lambda r: r if len(r) >= len(both) else None)(table_rows(table)))
    check(rows == both, f"rows after the next page:\n  got      {rows!r}\n  expected {both!r}")
    wait_for("the page label to show 2", lambda: find(frame, pyatspi.ROLE_LABEL, "2"))
    check(is_sensitive(button("上一页")), "上一页 is disabled on page 2")

    # 4. Clearing on, next page: page 3 lists nothing, so the box comes.
    clear = wait_for("是否删除当前页", lambda: find(frame, pyatspi.ROLE_CHECK_BOX, "是否删除当前页"))
    click(clear, "是否删除当前页")
    wait_for("是否删除当前页 to be checked", lambda: states(clear).contains(pyatspi.STATE_CHECKED))
    click(button("下一页"), "下一页")

    def empty_result_box():
        for _, window in top_levels():
            if window.name == EMPTY_RESULT_TITLE and window.getRole() in (
                pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT, pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW
            ):
                return refresh(window)
        return None

    box = wait_for(f"the box titled {EMPTY_RESULT_TITLE}", empty_result_box)
    check(find(box, pyatspi.ROLE_LABEL, name_starts=EMPTY_RESULT_TEXT) is not None,
          f"the box does not say {EMPTY_RESULT_TEXT}")
    check(table_rows(table) == [], "the list is not empty while the box for page 3 is open")
    check(find(frame, pyatspi.ROLE_LABEL, "3") is not None, "the page label does not show 3")
    ok = wait_for("the box's button", lambda: find(box, pyatspi.ROLE_PUSH_BUTTON))
    click(ok, "the box's button")
    wait_for("the box to close", lambda: empty_result_box() is None)
    check(table_rows(table) == [], "rows appeared after the empty page")
    check(session.program_process.poll() is None, "the program ended")

    # 5. Refresh brings page 3's box again; closing the window while it is
    # open ends the program at once, with status 0 and nothing reported.
    click(button("刷新"), "刷新")
    wait_for(f"the box titled {EMPTY_RESULT_TITLE} again", empty_result_box)

    click(wait_for("the title bar's close button", lambda: close_button(frame)), "the close button")
    expect_clean_exit(session)


def expect_clean_exit(session):
    """Checks that the program ends within 10 s of its window closing, with
    status 0 and no sanitizer report; returns what it wrote."""
    try:
        status = session.program_process.wait(10)
    except subprocess.TimeoutExpired:
        raise CheckFailed("the program still runs 10 s after its window was closed")
    check(status == 0, f"the program ended with status {status}")
    log = session.log("program.log")
    check("Sanitizer" not in log and "runtime error" not in log, f"the program reported:\n{log[-3000:]}")
    return log


def load_site_module(path):
    spec = importlib.util.spec_from_file_location("demo_site", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def run(description, drive_program, **session_options):
    """The command line of a drive: parses --program and --site, runs
    `drive_program(session, site)` in a fresh session and returns the exit
    status, 0 when every check held."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--program", required=True)
    parser.add_argument("--site", required=True)
    args = parser.parse_args()
    site = load_site_module(args.site)

    global pyatspi
    started = time.monotonic()
    try:
        with Session(os.path.abspath(args.program), os.path.abspath(args.site), pages=PAGES_WITH_RESULTS,
                     **session_options) as session:
            session.use_in_this_process()
            import pyatspi as atspi_module

            pyatspi = atspi_module
            session.start_program()
            drive_program(session, site)
    except CheckFailed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    print(f"passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(run(__doc__.splitlines()[0], drive))
