"""Tollgrove Share: the file-sharing site that the stand-in serves.

A share link /s/<code> shows a share page that embeds the download frame /fn?<frame token>.
The frame's script carries the signing values that the site's own /ajaxm.php asks for; its JSON
answer names the download host (dom) and the file's path (url), and dom + "/file/" + url
redirects to the file itself under /dl/.

The share code picks one of the VARIANTS below. Each differs from the plain page in one respect
that a client has to cope with: where the download frame sits, how the frame's script writes the
sign, what the JSON answer holds, or how the /file/ redirect is written.

Everything here is pure (no sockets): the server (server.py) calls these functions with the
request's parts and sends what they return.
"""

import collections
import dataclasses
import html
import json
import secrets
import string
import threading
import urllib.parse

SITE_NAME = "Tollgrove 分享"
MAX_BOOK_ENTRIES = 20000  # issued frame tokens, signs and file tokens kept (oldest dropped)


@dataclasses.dataclass(frozen=True)
class Variant:
    code: str
    file_name: str
    file_size: int
    frames: str = "download-first"   # download-first | advert-first (first src under 10 bytes)
                                     # | off-origin-first (first src names another host)
    sign: str = "pdownload"          # pdownload | ajaxdata | websign | blank-ajaxdata | capitals | none
    answer: str = "ok"               # ok | dom-slash | no-dom | no-url | not-json | nested | padded
    redirect: str = "plain"          # plain | content-location | lower-case
    name_in_url: bool = False        # the JSON url also carries the file name (escaped as \\uXXXX)
    nesting: int = 0                 # answer "nested": levels of the whole answer, its own object included


VARIANTS = {v.code: v for v in (
    Variant("pdownload", "harbour-survey-2023.pdf", 2_431_877),
    Variant("second-frame", "orchard-irrigation-plan.zip", 1_048_000, frames="advert-first"),
    Variant("off-origin-frame", "sluice-inspection-report.pdf", 402_113, frames="off-origin-first"),
    Variant("ajaxdata", "tidal-gauge-readings.csv", 96_512, sign="ajaxdata"),
    Variant("websign", "lighthouse-keepers-log.docx", 318_204, sign="websign"),
    Variant("blank-ajaxdata", "ferry-timetable-winter.pdf", 211_990, sign="blank-ajaxdata"),
    Variant("capitals", "kiln-firing-notes.txt", 7_311, sign="capitals"),
    Variant("no-sign", "quarry-map.png", 640_118, sign="none"),
    Variant("dom-slash", "moorland-bird-count.xlsx", 45_870, answer="dom-slash"),
    Variant("no-dom", "bridge-load-tables.pdf", 122_004, answer="no-dom"),
    Variant("no-url", "village-hall-minutes.odt", 33_650, answer="no-url"),
    Variant("not-json", "canal-lock-photos.zip", 1_920_331, answer="not-json"),
    Variant("padded-answer", "pier-lamp-schedule.txt", 4_096, answer="padded"),
    Variant("content-location", "salt-marsh-survey.pdf", 512_300, redirect="content-location"),
    Variant("lower-case", "weir-gate-manual.pdf", 88_104, redirect="lower-case"),
    Variant("large-file", "tollgrove-archive-full.bin", 1 << 30),
    Variant("chinese-name", "季度报告.xlsx", 56_781, name_in_url=True),
    # An extra member of nested arrays: as deep as the client takes (64), and far deeper.
    Variant("nested-answer", "estuary-depth-soundings.csv", 18_230, answer="nested", nesting=64),
    Variant("deeply-nested-answer", "estuary-depth-archive.csv", 918_230, answer="nested", nesting=100_000),
)}

SHORT_AJAXDATA = "r4x9"                  # under 10 bytes, not blank
BLANK_AJAXDATA = "  \u3000 "             # ASCII and ideographic spaces only


@dataclasses.dataclass
class Response:
    status: int
    reason: str
    headers: list            # [(name, value)], written in this order and spelling
    body: bytes = b""
    stream_size: int = 0     # when set: a generated body of this many bytes follows `body`


@dataclasses.dataclass(frozen=True)
class FrameView:
    """What one view of a download frame issued, checked when the form comes back."""
    variant: Variant
    sign: str
    signs: str               # the short ajaxdata value the page carries ("" when none)
    websign: str


class Book:
    """Issued tokens, bounded: the oldest entries are forgotten first."""

    def __init__(self, limit=MAX_BOOK_ENTRIES):
        self._lock = threading.Lock()
        self._entries = collections.OrderedDict()
        self._limit = limit

    def issue(self, value, length=32):
        token = secrets.token_urlsafe(length)
        self.put(token, value)
        return token

    def put(self, token, value):
        with self._lock:
            self._entries[token] = value
            while len(self._entries) > self._limit:
                self._entries.popitem(last=False)

    def get(self, token):
        with self._lock:
            return self._entries.get(token)


def _page(title, body):
    return string.Template(_PAGE).substitute(title=html.escape(title), site=SITE_NAME, body=body).encode("utf-8")


def _html(status, reason, page):
    return Response(status, reason, [("Content-Type", "text/html; charset=utf-8"),
                                     ("Cache-Control", "no-store")], page)


def human_size(size):
    for unit in ("B", "KB", "MB", "GB"):
        if size < 1024 or unit == "GB":
            return ("%d %s" % (size, unit)) if unit == "B" else ("%.1f %s" % (size, unit))
        size /= 1024.0


class Site:
    def __init__(self, origin, small_pages=False):
        self.origin = origin      # https://127.0.0.1:port, the site's own address
        # Pages as large as the service's own (a share page of about 50 KB, a frame page of
        # about 40 KB: styles, scripts, related files) unless asked for the bare ones.
        self.small_pages = small_pages
        self.frames = Book()      # frame token -> Variant
        self.views = Book()       # sign -> FrameView
        self.files = Book()       # file token -> Variant

    # ---- pages -------------------------------------------------------------------------

    def home(self):
        items = "\n".join('    <li><a href="/s/%s">%s</a></li>' % (v.code, html.escape(v.file_name))
                          for v in VARIANTS.values())
        body = string.Template(_HOME).substitute(items=items)
        return _html(200, "OK", _page("首页", body))

    def share_page(self, code):
        variant = VARIANTS.get(code)
        if variant is None:
            return _html(200, "OK", _page("文件取消分享了", _GONE))
        frame = "/fn?" + self.frames.issue(variant, 24)
        # One iframe per line: clients find the frame's source with a single-line pattern.
        download = ('<iframe class="tg-frame" name="%s" src="%s" frameborder="0" scrolling="no"></iframe>'
                    % (secrets.token_hex(4), frame))
        if variant.frames == "advert-first":
            first = '<iframe class="tg-ad" name="tg-ad" src="/ad.htm" frameborder="0" scrolling="no"></iframe>'
            frames = first + "\n      " + download
        elif variant.frames == "off-origin-first":
            # Appended to the origin, this source makes the origin user information and names a
            # host of its own, where nothing listens.
            first = ('<iframe class="tg-mirror" name="tg-mirror" src="@127.0.0.1:1/fn?%s" frameborder="0" '
                     'scrolling="no"></iframe>' % secrets.token_urlsafe(18))
            frames = first + "\n      " + download
        else:
            notes = ('<iframe class="tg-notes" name="tg-notes" src="/widget/notes?f=%s&amp;lang=zh" '
                     'frameborder="0" scrolling="no"></iframe>' % secrets.token_hex(6))
            frames = download + "\n      " + notes
        body = string.Template(_SHARE).substitute(
            name=html.escape(variant.file_name), size=human_size(variant.file_size),
            code=html.escape(code), frames=frames)
        if not self.small_pages:
            body = _SHARE_HEAD + body + related_files(code) + _SHARE_FOOT
        return _html(200, "OK", _page(variant.file_name, body))

    def frame_page(self, query):
        variant = self.frames.get(query)
        if variant is None:
            return _html(200, "OK", _page("链接已失效", _EXPIRED))
        sign = secrets.token_urlsafe(45)
        websign = secrets.token_hex(8)
        style = variant.sign
        signs = SHORT_AJAXDATA if style == "websign" else ""
        if style != "none":
            self.views.put(sign, FrameView(variant, sign, signs, websign))  # the form brings the sign back
        script = frame_script(style, sign, websign)
        body = string.Template(_FRAME).substitute(
            name=html.escape(variant.file_name), size=human_size(variant.file_size), script=script)
        if not self.small_pages:
            body = _FRAME_HEAD + body + _FRAME_TAIL
        return _html(200, "OK", _page("下载 " + variant.file_name, body))

    def advert(self):
        return _html(200, "OK", _page("推荐", _ADVERT))

    def notes(self):
        return _html(200, "OK", _page("留言", _NOTES))

    def stylesheet(self):
        return Response(200, "OK", [("Content-Type", "text/css"), ("Cache-Control", "max-age=86400")],
                        _CSS.encode("ascii"))

    def not_found(self):
        return _html(404, "Not Found", _page("404", _NOT_FOUND))

    # ---- the download-process endpoint -----------------------------------------------

    def download_process(self, content_type, body):
        """The JSON answer to a posted form, checked as the site checks it."""
        view, problem = self.check_form(content_type, body)
        if view is None:
            return _json_response({"zt": 0, "inf": problem})
        variant = view.variant
        if variant.answer == "not-json":
            # What the front proxy sends when the application behind it is down.
            return _html(502, "Bad Gateway", _BAD_GATEWAY.encode("ascii"))
        token = self.files.issue(variant, 30)
        url = token + ("/" + variant.file_name if variant.name_in_url else "")
        answer = {"zt": 1, "dom": self.origin + ("/" if variant.answer == "dom-slash" else ""),
                  "url": url, "inf": variant.file_name}
        if variant.answer == "no-dom":
            del answer["dom"]
        if variant.answer == "no-url":
            del answer["url"]
        return _json_response(answer, variant.nesting, variant.answer == "padded")

    def check_form(self, content_type, body):
        """(FrameView, "") for a form the site accepts, else (None, reason)."""
        if not content_type.lower().startswith("application/x-www-form-urlencoded"):
            return None, "请求格式错误"
        try:
            fields = dict(urllib.parse.parse_qsl(body.decode("ascii"), keep_blank_values=False))
        except (UnicodeDecodeError, ValueError):
            return None, "请求格式错误"
        if fields.get("action") != "downprocess" or fields.get("ves") != "1":
            return None, "请求格式错误"
        view = self.views.get(fields.get("sign", ""))
        if view is None:
            return None, "签名已过期，请刷新页面"
        # A page that carried a short ajaxdata value wants it back with the websign.
        if "signs" in fields or view.signs:
            if fields.get("signs") != view.signs or fields.get("websign") != view.websign:
                return None, "签名校验失败"
        return view, ""

    # ---- the file -----------------------------------------------------------------------

    def file_redirect(self, rest):
        token = rest.split("/", 1)[0]
        variant = self.files.get(token)
        if variant is None:
            return self.not_found()
        target = "%s/dl/%s/%s" % (self.origin, token, urllib.parse.quote(variant.file_name))
        headers = [("Content-Type", "text/html; charset=utf-8")]
        if variant.redirect == "content-location":
            headers.append(("Content-Location", "/file/" + token))
        headers.append(("location" if variant.redirect == "lower-case" else "Location", target))
        return Response(302, "Found", headers, b"")

    def file_body(self, rest):
        token = rest.split("/", 1)[0]
        variant = self.files.get(token)
        if variant is None:
            return self.not_found()
        disposition = "attachment; filename*=UTF-8''" + urllib.parse.quote(variant.file_name)
        return Response(200, "OK", [("Content-Type", "application/octet-stream"),
                                    ("Content-Disposition", disposition)], b"", variant.file_size)


def related_files(code):
    """The share page's list of about a hundred other files of the same sharer."""
    kinds = (("季度报告", "xlsx"), ("会议纪要", "docx"), ("survey-photos", "zip"), ("设计图纸", "pdf"),
             ("field-notes", "txt"), ("预算表", "xlsx"), ("site-plan", "dwg"), ("培训视频", "mp4"))
    rows = []
    for n in range(100):
        stem, ext = kinds[n % len(kinds)]
        size = human_size(37_000 + (n * 7_919) % 9_000_000)
        rows.append('    <li class="tg-rel"><a href="/s/r%s%03d" title="%s-%03d.%s">%s-%03d.%s</a>'
                    '<span class="tg-rel-size">%s</span><span class="tg-rel-date">2026-%02d-%02d</span>'
                    '<span class="tg-rel-count">%d 次下载</span></li>'
                    % (code[:3], n, stem, n, ext, stem, n, ext, size, n % 12 + 1, n % 28 + 1, (n * 37) % 500))
    return ('\n<section class="tg-related">\n  <h2>该用户的其他分享</h2>\n  <ul>\n' + "\n".join(rows) +
            '\n  </ul>\n</section>\n')


def frame_script(style, sign, websign):
    """The frame's script: where the sign stands depends on the page's template."""
    def script(declarations, data):
        return declarations + _AJAX_CALL.replace("DATA", data, 1)

    if style in ("pdownload", "capitals"):
        declaration = "var pdownload = '%s';\n" % sign
        if style == "capitals":
            declaration = declaration.replace("var pdownload", "VAR PDOWNLOAD")
        return script(declaration, "{ 'action':'downprocess','sign':pdownload,'ves':1 }")
    if style == "ajaxdata":
        return script("var ajaxdata = '%s';\n" % sign, "{ 'action':'downprocess','sign':ajaxdata,'ves':1 }")
    if style in ("websign", "blank-ajaxdata"):
        ajaxdata = SHORT_AJAXDATA if style == "websign" else BLANK_AJAXDATA
        return script("var ajaxdata = '%s';\nvar tgver = 'k3';\n" % ajaxdata,
                      "{ 'action':'downprocess','signs':ajaxdata,'sign':'%s','ves':1,'websign':'%s' }" % (sign, websign))
    return _SCRIPT_CHECKING


def _json_response(value, nesting=0, padded=False):
    # Written as the site's PHP back end writes it: one line, slashes and non-ASCII escaped,
    # no line end after it.
    text = json.dumps(value, ensure_ascii=True, separators=(",", ":")).replace("/", "\\/")
    if nesting > 1:
        # Written out rather than dumped: json.dumps would recurse once per level.
        arrays = nesting - 1
        text = text[:-1] + ',"ext":' + "[" * arrays + "]" * arrays + "}"
    body = text.encode("ascii")
    if padded:
        # As a script saved with a byte-order mark and a blank line before its opening tag writes it.
        body = b"\xef\xbb\xbf\r\n" + body + b"\r\n"
    return Response(200, "OK", [("Content-Type", "application/json")], body)


_PAGE = """<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>$title - $site</title>
<link rel="stylesheet" href="/static/tg.css">
</head>
<body>
<header class="tg-top"><a class="tg-logo" href="/">Tollgrove<span>分享</span></a>
  <nav><a href="/">首页</a><a href="/help">帮助</a></nav></header>
$body
<footer class="tg-foot">&copy; Tollgrove 分享 &middot; 仅供演示</footer>
</body>
</html>
"""

_HOME = """<main class="tg-home">
  <h1>轻松分享你的文件</h1>
  <p>最近的分享：</p>
  <ul class="tg-list">
$items
  </ul>
</main>"""

_SHARE = """<main class="tg-share">
  <div class="tg-file">
    <div class="tg-icon"></div>
    <div class="tg-name" title="$name">$name</div>
    <div class="tg-meta">文件大小：$size<span>分享码：$code</span></div>
  </div>
  <div class="tg-frames">
      $frames
  </div>
  <p class="tg-tip">下载遇到问题？请刷新页面后重试。</p>
</main>"""

_FRAME = """<div class="tg-dl">
  <div class="tg-dl-name">$name</div>
  <div class="tg-dl-size">$size</div>
  <div id="go" class="tg-btn"><a href="javascript:;">正在获取下载地址…</a></div>
</div>
<script type="text/javascript" src="/static/tg-lite.js"></script>
<script type="text/javascript">
$script</script>"""

# The frame's call of the download-process endpoint; DATA is the object it posts.
_AJAX_CALL = """$(function() {
    $.ajax({
        type : 'post',
        url : '/ajaxm.php',
        data : DATA,
        dataType : 'json',
        success : function(msg) {
            if (msg.zt == 1) {
                $('#go').html('<a href="' + msg.dom + '/file/' + msg.url + '" target="_blank">普通下载</a>');
            } else {
                $('#go').html(msg.inf);
            }
        },
        error : function() { $('#go').html('网络异常，请刷新重试'); }
    });
});
"""

_SCRIPT_CHECKING = """// The file is still being checked: no download yet.
setTimeout(function() { location.reload(); }, 30000);
document.getElementById('go').innerHTML = '文件审核中，请稍后再来';
"""

_GONE = """<main class="tg-gone"><h1>来晚啦…文件取消分享了</h1><p><a href="/">返回首页</a></p></main>"""
_EXPIRED = """<main class="tg-gone"><h1>下载链接已失效</h1><p>请回到分享页重新打开。</p></main>"""
_ADVERT = """<div class="tg-ad-box"><a href="/">Tollgrove 会员：更大空间，更快下载</a></div>"""
_NOTES = """<div class="tg-notes-box"><p>暂无留言</p></div>"""
_NOT_FOUND = """<main class="tg-gone"><h1>404</h1><p>页面不存在</p></main>"""

_BAD_GATEWAY = """<html>
<head><title>502 Bad Gateway</title></head>
<body>
<center><h1>502 Bad Gateway</h1></center>
<hr><center>tg-edge</center>
</body>
</html>
"""

_CSS = """body{margin:0;font:14px/1.6 sans-serif;background:#f3f1ec;color:#2c2a26}
.tg-top{display:flex;justify-content:space-between;padding:10px 24px;background:#3d5a4f}
.tg-top a{color:#fff;margin-right:16px;text-decoration:none}.tg-logo span{color:#f0c36a}
.tg-share,.tg-home,.tg-gone{max-width:720px;margin:32px auto;background:#fff;padding:24px;border-radius:6px}
.tg-name{font-size:20px;font-weight:bold}.tg-meta span{margin-left:16px;color:#888}
.tg-frames iframe{width:100%;border:0;height:120px}.tg-btn a{background:#3d5a4f;color:#fff;padding:8px 20px}
.tg-foot{text-align:center;color:#999;padding:24px}
"""


# ---- what makes a page as large as the service's: styles, scripts, lists ------------------

def _style_rules(prefix, count):
    parts = ("header", "nav", "item", "icon", "name", "meta", "btn", "tip", "list", "row", "badge", "menu")
    rules = []
    for n in range(count):
        part = parts[n % len(parts)]
        rules.append(".%s-%s-%d{margin:%dpx %dpx;padding:%dpx %dpx;color:#%06x;font:%dpx/1.%d sans-serif;"
                     "border-radius:%dpx}" % (prefix, part, n, n % 9, n % 13, n % 7, n % 11,
                                               (n * 0x2F1B3) & 0xFFFFFF, 12 + n % 5, 4 + n % 5, n % 6))
    return "\n".join(rules)


def _script_functions(prefix, count):
    lines = []
    for n in range(count):
        lines.append("function %s_%d(e,t){var n=e||{},r=t||0;if(n.k%d&&r>%d){return n.k%d+r}"
                     "return document.getElementById('%s-%d')?r:-1}" % (prefix, n, n, n % 50, n, prefix, n))
    return "\n".join(lines)


_SHARE_HEAD = ("<style>\n" + _style_rules("tg", 170) + "\n</style>\n<script type=\"text/javascript\">\n" +
               _script_functions("tgs", 120) + "\n</script>\n")
_SHARE_FOOT = ('<div class="tg-links">' + " ".join('<a href="/help/%d">帮助主题 %d</a>' % (n, n) for n in range(60)) +
               "</div>\n")
_FRAME_HEAD = "<script type=\"text/javascript\">\n" + _script_functions("tgf", 170) + "\n</script>\n"
_FRAME_TAIL = ("<script type=\"text/javascript\">\n" + _script_functions("tga", 120) + "\n</script>\n"
               "<style>\n" + _style_rules("tgd", 60) + "\n</style>\n")
