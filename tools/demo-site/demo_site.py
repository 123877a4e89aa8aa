#!/usr/bin/python3
"""A stand-in share-search site for trying the program out without the network.

It answers GET /?q=<percent-encoded UTF-8 keyword>&page=<n>&by=prev with a
result page in the markup the program scrapes: a handful of made-up shares
built from the keyword on each of the first few pages, then pages without
results. Only the Python standard library is used.

    /usr/bin/python3 tools/demo-site/demo_site.py --port-file /tmp/site.port
    curl 'http://127.0.0.1:PORT/?q=%E4%B8%AD&page=1&by=prev'

The server binds 127.0.0.1 on a free port (unless --port is given), prints
the port on the first line of standard output and writes it to --port-file
when asked. With --list it prints the shares of one page instead, for tests
that check what arrives in the program. It stops on SIGTERM or SIGINT, and by itself when the process that
started it ends, so a crashed launcher or test leaves nothing behind.
"""

import argparse
import ctypes
import hashlib
import html
import http.server
import os
import signal
import sys
import threading
import urllib.parse

# The host of the cloud-drive service whose shares the site lists. Every entry
# ends with it, and the program's scraper looks for exactly this text.
DRIVE_HOST = "pan.quorvane.example"

# Made-up sharers and name patterns. "{k}" is the keyword (HTML-escaped), the
# size None marks a folder. The entries without a size alternate between an
# empty size label and no size label at all: both shapes occur on real pages.
SHARERS = ["云端小助手", "书虫阿明", "夜猫子", "lemon_tree", "老张的网盘", "星河", "Archive_Bot"]
SHAPES = [
    ("{k}合集.zip", "1.2 GB"),
    ("{k} 高清版.mp4", "356 MB"),
    ("{k}资料", None),
    ("【{k}】学习笔记.pdf", "12.4 MB"),
    ("{k}_备份_2025.rar", "88 MB"),
    ("{k}相关", None),
    ("{k}入门到精通.epub", "3.1 MB"),
]


def entries_per_page(page):
    """A handful, a different number on each page so that pages are told apart."""
    return 4 + (page % 3)


def share_id(keyword, page, index):
    digest = hashlib.sha1(f"{keyword}\0{page}\0{index}".encode("utf-8")).hexdigest()
    return "1" + digest[:22]


def highlight(name, escaped_keyword):
    return name.replace(escaped_keyword, f"<em>{escaped_keyword}</em>") if escaped_keyword else name


def share(keyword, page, index):
    """The made-up share at `index` (from 0) of a page: name, size ("" for a
    folder, which the page lists without one), sharer, link and time. The
    name holds the keyword HTML-escaped, exactly as the page writes it."""
    escaped = html.escape(keyword, quote=True)
    pattern, size = SHAPES[(index + page) % len(SHAPES)]
    return {
        "name": pattern.format(k=escaped),
        "size": size or "",
        "sharer": SHARERS[(index * 3 + page) % len(SHARERS)],
        "link": f"http://{DRIVE_HOST}/s/{share_id(keyword, page, index)}",
        "time": f"2026-{(page % 12) + 1:02d}-{(index % 28) + 1:02d} "
        f"{(9 + index) % 24:02d}:{(page * 7 + index * 13) % 60:02d}",
    }


def shares(keyword, page, pages=5):
    """Every share listed on a page; empty past the last page of results, for
    page numbers below 1 and for the empty keyword."""
    if keyword == "" or not 1 <= page <= pages:
        return []
    return [share(keyword, page, i) for i in range(entries_per_page(page))]


def result_entry(keyword, page, index):
    """One listed share, as one CRLF-terminated line of markup."""
    escaped = html.escape(keyword, quote=True)
    s = share(keyword, page, index)
    name = highlight(s["name"], escaped)
    if s["size"]:
        paragraph = f"文件名:{name} 文件大小:{s['size']} 分享者:{s['sharer']} 分享时间:{s['time']}"
    elif index % 2 == 0:
        paragraph = f"文件名:{name} 文件大小: 分享者:{s['sharer']} 分享时间:{s['time']}"
    else:
        # No name and no size label: the anchor text is the only name.
        paragraph = f"分享者:{s['sharer']} 分享时间:{s['time']}"
    return (
        f"<div class=\"article ali_row\"><h2><a target='_blank' href=\"{s['link']}\">"
        f"{name}</a></h2><p>{paragraph}"
        f"</p><div class=\"other\">{DRIVE_HOST}</div></div>\r\n"
    )


def result_page(keyword, page, pages):
    """The whole page as text. The listing lies between the first closing
    script tag and the "</script><br><br>" after it."""
    count = len(shares(keyword, page, pages))
    title = html.escape(keyword) or "搜索"
    lines = [
        "<!DOCTYPE html>",
        "<html><head>",
        '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">',
        f"<title>{title} - 演示搜索站</title>",
        "<script>var pageKind = 'results';</script>",
        "</head><body>",
        f'<div class="summary">第 {page} 页，共 {count} 条结果</div>',
    ]
    body = "\r\n".join(lines) + "\r\n"
    body += "".join(result_entry(keyword, page, i) for i in range(count))
    body += "<script>document.title = document.title;</script><br><br>\r\n"
    body += '<div class="footer">演示用搜索站，结果均为虚构。</div>\r\n</body></html>\r\n'
    return body


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "QuorvaneDemoSite/1"

    def do_GET(self):
        query = urllib.parse.urlsplit(self.path).query
        fields = {}
        for pair in query.split("&"):
            key, _, value = pair.partition("=")
            fields.setdefault(key, value)
        # The program percent-encodes every byte of the keyword's UTF-8 form.
        keyword = urllib.parse.unquote_to_bytes(fields.get("q", "")).decode("utf-8", "replace")
        try:
            page = int(fields.get("page", "1"))
        except ValueError:
            page = 1
        data = result_page(keyword, page, self.server.pages).encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("demo-site: " + (format % args) + "\n")


def end_with_parent():
    """Ends this process when the one that started it ends."""
    parent = os.getppid()
    try:
        PR_SET_PDEATHSIG = 1
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass
    # The signal is tied to the parent thread, and it may already be gone:
    # watch the parent id as well.
    if os.getppid() != parent:
        os._exit(0)

    def watch():
        while True:
            threading.Event().wait(0.5)
            if os.getppid() != parent:
                os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def write_port_file(path, port):
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write(f"{port}\n")
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description="Stand-in share-search site on 127.0.0.1.")
    parser.add_argument("--port", type=int, default=0, help="port to bind; 0 picks a free one")
    parser.add_argument("--port-file", help="file that receives the bound port")
    parser.add_argument("--pages", type=int, default=5, help="number of pages with results")
    parser.add_argument("--verbose", action="store_true", help="log every request to standard error")
    parser.add_argument("--list", nargs=2, metavar=("KEYWORD", "PAGE"),
                        help="print the shares of one page (name, size, sharer, link; tab-separated) and exit")
    args = parser.parse_args()
    if args.list:
        for s in shares(args.list[0], int(args.list[1]), args.pages):
            print("\t".join((s["name"], s["size"], s["sharer"], s["link"])))
        return

    end_with_parent()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.pages = args.pages
    server.verbose = args.verbose
    port = server.server_address[1]

    def stop(signum, frame):
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.port_file:
        write_port_file(args.port_file, port)
    print(port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
