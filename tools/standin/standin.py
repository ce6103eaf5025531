#!/usr/bin/python3
"""The stand-in for the file-sharing service: Tollgrove Share over HTTPS on 127.0.0.1.

    standin.py start [--port N] [--log FILE] [--lifetime S] [--delayed-ack] [--small-pages]
                                                             start in the background, return
                                                             once it listens
    standin.py stop [--port N]                               end the one started on that port
    standin.py run [--port N] [--log FILE] -- COMMAND...     start, run COMMAND, stop; exits
                                                             with COMMAND's code
    standin.py serve [--port N] [--log FILE] [--lifetime S] [--control-port C] [--ready-fd FD]
                                                             serve in the foreground

The port defaults to 48443, the origin the library is built with unless told otherwise. The
site (pages, variants, the form check) is described in sharesite.py, the request log in
server.py. A stand-in ends when stopped, when its control connection closes (--control-port:
it connects there, says "READY <port>" and serves until that connection ends) or when its
lifetime is over (default 1800 s, at most 6 hours), whichever comes first.

Commands on the control connection, one line each:
    REQUESTS   reply "REQUESTS n", then the n request records kept (server.py), oldest first
    RESET      forget the records; reply "OK"
    QUIT       end the stand-in
"""

import argparse
import os
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import server  # noqa: E402

DEFAULT_PORT = 48443
MAX_LIFETIME_S = 6 * 3600
START_TIMEOUT_S = 60      # certificate generation included
STOP_GRACE_S = 5


def pidfile_for(port):
    return os.path.join(tempfile.gettempdir(), "quenlark-standin-%d-%d.pid" % (os.getuid(), port))


def output_for(pidfile):
    """Where a started stand-in's own output goes (shown when it fails to start)."""
    return (pidfile[:-len(".pid")] if pidfile.endswith(".pid") else pidfile) + ".out"


def serve(args):
    lifetime = min(args.lifetime, MAX_LIFETIME_S)
    # The hard bound: whatever a thread is blocked in, the process goes.
    watchdog = threading.Timer(lifetime + 10, lambda: os._exit(3))
    watchdog.daemon = True
    watchdog.start()

    instance = server.Server(args.port, args.log, lifetime, args.openssl, args.delayed_ack, args.small_pages)
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda *_: instance.stopping.set())
    ready = ("READY %d\n" % instance.port).encode("ascii")
    if args.ready_fd is not None:
        os.write(args.ready_fd, ready)
        os.close(args.ready_fd)
    if args.control_port:
        control = socket.create_connection(("127.0.0.1", args.control_port), timeout=30)
        control.sendall(ready)
        control.settimeout(None)

        def watch_control():
            try:
                for raw in control.makefile("rb"):
                    command = raw.strip().decode("ascii", "replace")
                    if command == "REQUESTS":
                        lines = instance.take_records()
                        reply = "REQUESTS %d\n" % len(lines) + "".join(line + "\n" for line in lines)
                    elif command == "RESET":
                        instance.take_records(clear=True)
                        reply = "OK\n"
                    elif command == "QUIT":
                        break
                    else:
                        reply = "ERROR unknown command\n"
                    control.sendall(reply.encode("ascii"))
            except OSError:
                pass
            instance.stopping.set()

        threading.Thread(target=watch_control, daemon=True).start()
    instance.serve()
    return 0


def is_standin(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            words = f.read().split(b"\0")
    except OSError:
        return False
    return any(w.endswith(b"standin.py") for w in words) and b"serve" in words


def read_pid(pidfile):
    try:
        with open(pidfile) as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


def stop(args):
    pidfile = args.pidfile or pidfile_for(args.port)
    pid = read_pid(pidfile)
    if pid is not None and is_standin(pid):
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + STOP_GRACE_S
        while is_standin(pid) and time.monotonic() < deadline:
            time.sleep(0.05)
        if is_standin(pid):
            os.kill(pid, signal.SIGKILL)
            deadline = time.monotonic() + STOP_GRACE_S
            while is_standin(pid) and time.monotonic() < deadline:
                time.sleep(0.05)
        if is_standin(pid):
            print("standin: process %d does not end" % pid, file=sys.stderr)
            return 1
    for path in (pidfile, output_for(pidfile)):
        try:
            os.unlink(path)
        except FileNotFoundError:
            pass
    return 0


def start(args):
    pidfile = args.pidfile or pidfile_for(args.port)
    if stop(args) != 0:  # a stand-in left behind by a run that died would hold the port
        return 1
    output_path = output_for(pidfile)
    command = [sys.executable, os.path.abspath(__file__), "serve", "--port", str(args.port),
               "--lifetime", str(args.lifetime), "--openssl", args.openssl]
    if args.log:
        command += ["--log", os.path.abspath(args.log)]
    if args.delayed_ack:
        command.append("--delayed-ack")
    if args.small_pages:
        command.append("--small-pages")
    read_end, write_end = os.pipe()
    with open(output_path, "wb") as output:
        child = subprocess.Popen(command + ["--ready-fd", str(write_end)], pass_fds=(write_end,),
                                 start_new_session=True, stdin=subprocess.DEVNULL, stdout=output, stderr=output)
    os.close(write_end)
    line = b""
    deadline = time.monotonic() + START_TIMEOUT_S
    while b"\n" not in line and time.monotonic() < deadline:
        readable, _, _ = select.select([read_end], [], [], 0.2)
        if readable:
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            line += chunk
    os.close(read_end)
    if not line.startswith(b"READY "):
        if child.poll() is None:
            child.kill()
        child.wait(timeout=STOP_GRACE_S)
        with open(output_path, "rb") as f:
            sys.stderr.write(f.read()[-2000:].decode("utf-8", "replace"))
        print("standin: did not start on port %d" % args.port, file=sys.stderr)
        return 1
    with open(pidfile, "w") as f:
        f.write("%d\n" % child.pid)
    port = int(line.split()[1])
    print("standin: https://127.0.0.1:%d (pid %d)" % (port, child.pid))
    return 0


def run(args):
    if not args.command:
        print("standin: run needs a command after --", file=sys.stderr)
        return 2
    if start(args) != 0:
        return 1
    try:
        return subprocess.call(args.command)
    finally:
        stop(args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="action", required=True)
    for name in ("serve", "start", "stop", "run"):
        p = sub.add_parser(name)
        p.add_argument("--port", type=int, default=DEFAULT_PORT)
        p.add_argument("--pidfile", help="where start and stop keep the process id")
        if name != "stop":
            p.add_argument("--log", help="append one line per request to this file")
            p.add_argument("--lifetime", type=int, default=1800, help="seconds before it ends by itself")
            p.add_argument("--openssl", default="openssl")
            p.add_argument("--delayed-ack", action="store_true",
                           help="acknowledge and send as an ordinary server does (slower exchanges)")
            p.add_argument("--small-pages", action="store_true",
                           help="share and frame pages of a kilobyte or so instead of the service's 40-60 KB")
        if name == "serve":
            p.add_argument("--control-port", type=int)
            p.add_argument("--ready-fd", type=int)
        if name == "run":
            p.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.action == "run" and args.command[:1] == ["--"]:
        args.command = args.command[1:]
    return {"serve": serve, "start": start, "stop": stop, "run": run}[args.action](args)


if __name__ == "__main__":
    sys.exit(main())
