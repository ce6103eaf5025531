"""The stand-in's HTTPS server: loopback only, HTTP/1.1 with keep-alive, one thread per
connection, every wait bounded, and a lifetime after which the process ends whatever happens.

Each request is recorded, once its answer is sent or abandoned, as one tab-separated line:
    METHOD  TARGET  STATUS  BODY-BYTES-SENT  BODY-BYTES-DECLARED  REQUEST-BODY  RESPONSE-BODY
The bodies are escaped (backslash, control and non-ASCII bytes as \\xNN) and cut at 4096 bytes;
a generated file body is not shown. The lines go to the log file when one is given, and the
last MAX_RECORDS are kept for the control connection's REQUESTS command. Tests read them to see
what a client posted, what the site answered and how much of a download the client took.
"""

import collections
import os
import socket
import ssl
import subprocess
import tempfile
import threading
import time

import sharesite

HOST = "127.0.0.1"
CONNECTION_TIMEOUT_S = 15       # a silent or stalled peer is dropped after this
MAX_CONNECTIONS_AT_ONCE = 64
MAX_REQUESTS_PER_CONNECTION = 500
MAX_HEAD_BYTES = 64 * 1024
MAX_BODY_BYTES = 1024 * 1024
MAX_RECORDS = 2000
STREAM_BLOCK = bytes(range(256)) * 256  # 64 KiB of a repeating pattern for generated files


class RequestError(Exception):
    pass


class Request:
    def __init__(self, method, target, headers, body):
        self.method = method
        self.target = target
        self.headers = headers   # lower-case name -> value
        self.body = body

    @property
    def path(self):
        return self.target.split("?", 1)[0]

    @property
    def query(self):
        return self.target.split("?", 1)[1] if "?" in self.target else ""

    def wants_close(self):
        return self.headers.get("connection", "").lower() == "close"


def make_certificate(directory, openssl="openssl"):
    """A self-signed certificate for 127.0.0.1, made now (clients here do not check it)."""
    key = os.path.join(directory, "standin.key")
    cert = os.path.join(directory, "standin.crt")
    subprocess.run([openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "7", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    return cert, key


def acknowledge_at_once(conn):
    """Asks the kernel to acknowledge what arrives without delay. Linux leaves quick-ack mode on
    its own, so this is said again after every receive; without it a client whose request
    comes in two writes waits ~40 ms for the acknowledgement of the first one."""
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)


def read_request(conn, pending, after_receive=lambda conn: None):
    """(Request, rest of the buffer), or (None, b"") when the peer has gone."""
    buffer = pending
    while b"\r\n\r\n" not in buffer:
        if len(buffer) > MAX_HEAD_BYTES:
            raise RequestError("header block too large")
        chunk = conn.recv(65536)
        after_receive(conn)
        if not chunk:
            return None, b""
        buffer += chunk
    end = buffer.index(b"\r\n\r\n")
    lines = buffer[:end].decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3 or not parts[2].startswith("HTTP/1."):
        raise RequestError("bad request line")
    headers = {}
    for line in lines[1:]:
        name, colon, value = line.partition(":")
        if colon:
            headers[name.strip().lower()] = value.strip()
    try:
        length = int(headers.get("content-length", "0"))
    except ValueError:
        raise RequestError("bad content length")
    if length < 0 or length > MAX_BODY_BYTES:
        raise RequestError("body too large")
    buffer = buffer[end + 4:]
    while len(buffer) < length:
        chunk = conn.recv(65536)
        after_receive(conn)
        if not chunk:
            return None, b""
        buffer += chunk
    return Request(parts[0], parts[1], headers, buffer[:length]), buffer[length:]


def route(site, request):
    path = request.path
    if request.method == "POST":
        if path == "/ajaxm.php":
            return site.download_process(request.headers.get("content-type", ""), request.body)
        return site.not_found()
    if request.method not in ("GET", "HEAD"):
        return sharesite.Response(405, "Method Not Allowed", [("Allow", "GET, HEAD, POST")])
    # A download host named with a trailing slash gives "//file/...": take it as "/file/...".
    while path.startswith("//"):
        path = path[1:]
    if path in ("/", "/index.html"):
        return site.home()
    if path.startswith("/s/"):
        return site.share_page(path[3:])
    if path == "/fn":
        return site.frame_page(request.query)
    if path.startswith("/file/"):
        return site.file_redirect(path[6:])
    if path.startswith("/dl/"):
        return site.file_body(path[4:])
    if path == "/ad.htm":
        return site.advert()
    if path == "/widget/notes":
        return site.notes()
    if path == "/static/tg.css":
        return site.stylesheet()
    return site.not_found()


def escape_body(body):
    out = []
    for byte in body[:4096]:
        ch = chr(byte)
        out.append(ch if 0x20 <= byte < 0x7f and ch != "\\" else "\\x%02x" % byte)
    return "".join(out)


class Server:
    def __init__(self, port, log_path=None, lifetime_s=1800, openssl="openssl", delayed_ack=False, small_pages=False):
        """delayed_ack: keep the kernel's delayed acknowledgements and Nagle's algorithm, as an
        ordinary server has them (each exchange then costs ~40 ms more on loopback); by default
        every segment is acknowledged and sent at once, so that an exchange costs what the
        client spends. small_pages: share and frame pages of a kilobyte or so (sharesite.Site)."""
        self.delayed_ack = delayed_ack
        self.stopping = threading.Event()
        self.deadline = time.monotonic() + lifetime_s
        self.slots = threading.BoundedSemaphore(MAX_CONNECTIONS_AT_ONCE)
        self.log_lock = threading.Lock()
        self.log = open(log_path, "a", encoding="ascii") if log_path else None
        self.records = collections.deque(maxlen=MAX_RECORDS)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        # A restart on the same port must not wait for connections of the last run to time out.
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((HOST, port))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.site = sharesite.Site("https://%s:%d" % (HOST, self.port), small_pages)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        with tempfile.TemporaryDirectory(prefix="standin-") as directory:
            self.context.load_cert_chain(*make_certificate(directory, openssl))

    def serve(self):
        """Accepts until stopped or the lifetime is over."""
        self.listener.settimeout(0.5)
        try:
            while not self.stopping.is_set() and time.monotonic() < self.deadline:
                try:
                    conn, _ = self.listener.accept()
                except socket.timeout:
                    continue
                if not self.slots.acquire(timeout=5):
                    conn.close()
                    continue
                threading.Thread(target=self._connection, args=(conn,), daemon=True).start()
        finally:
            self.stopping.set()
            self.listener.close()

    def _connection(self, conn):
        try:
            conn.settimeout(CONNECTION_TIMEOUT_S)
            after_receive = lambda conn: None
            if not self.delayed_ack:
                conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                acknowledge_at_once(conn)
                after_receive = acknowledge_at_once
            conn = self.context.wrap_socket(conn, server_side=True)
            pending = b""
            for _ in range(MAX_REQUESTS_PER_CONNECTION):
                if self.stopping.is_set():
                    return
                request, pending = read_request(conn, pending, after_receive)
                if request is None:
                    return
                response = route(self.site, request)
                if not self._answer(conn, request, response) or request.wants_close():
                    return
        except RequestError:
            self._send(conn, b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        except (OSError, ssl.SSLError):
            pass
        finally:
            self.slots.release()
            try:
                conn.close()
            except OSError:
                pass

    def _answer(self, conn, request, response):
        """Sends the response; False when the connection cannot go on."""
        declared = len(response.body) + response.stream_size
        head = ["HTTP/1.1 %d %s" % (response.status, response.reason),
                "Server: tg-edge", "Date: " + time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime())]
        head += ["%s: %s" % pair for pair in response.headers]
        head.append("Content-Length: %d" % declared)
        head_bytes = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        sent = 0
        try:
            conn.sendall(head_bytes)
            if request.method != "HEAD":
                conn.sendall(response.body)
                sent = len(response.body)
                remaining = response.stream_size
                while remaining > 0 and not self.stopping.is_set():
                    block = STREAM_BLOCK[:min(remaining, len(STREAM_BLOCK))]
                    conn.sendall(block)
                    sent += len(block)
                    remaining -= len(block)
            else:
                declared = 0
            return sent == declared
        except (OSError, ssl.SSLError):
            return False
        finally:
            self._record(request, response, sent, declared)

    def _send(self, conn, data):
        try:
            conn.sendall(data)
        except (OSError, ssl.SSLError):
            pass

    def _record(self, request, response, sent, declared):
        line = "\t".join((request.method, escape_body(request.target.encode("latin-1")), str(response.status),
                          str(sent), str(declared), escape_body(request.body), escape_body(response.body)))
        with self.log_lock:
            self.records.append(line)
            if self.log is not None:
                self.log.write(line + "\n")
                self.log.flush()

    def take_records(self, clear=False):
        with self.log_lock:
            lines = list(self.records)
            if clear:
                self.records.clear()
        return lines
