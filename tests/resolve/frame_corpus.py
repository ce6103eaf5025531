#!/usr/bin/env python3
"""Writes every page the stand-in service serves, for the frame search's comparison with the
system's regex engine: each page as it is, with CR LF line ends, and run into one line.
Records are "<byte count>\\n<bytes>", UTF-8 as served."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "standin"))
import sharesite  # noqa: E402


def pages():
    site = sharesite.Site("https://127.0.0.1:1")
    yield site.home().body
    for code in list(sharesite.VARIANTS) + ["no-such-share"]:
        share = site.share_page(code).body
        yield share
        start = share.find(b'src="/fn?')
        if start >= 0:
            token = share[start + 9:share.index(b'"', start + 9)].decode("ascii")
            yield site.frame_page(token).body
    yield site.frame_page("expired").body
    for page in (site.advert(), site.notes(), site.not_found()):
        yield page.body


def main():
    with open(sys.argv[1], "wb") as out:
        for page in pages():
            for form in (page, page.replace(b"\n", b"\r\n"), page.replace(b"\n", b" ")):
                out.write(b"%d\n" % len(form) + form)


if __name__ == "__main__":
    main()
