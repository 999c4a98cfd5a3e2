#!/usr/bin/env python3
"""A download server that misbehaves on purpose, one way per request path.

Bodies are the pattern byte(i) = i % 251 for i from 0, so a client can check
what it received. Paths (query parameters in brackets, sizes in bytes):

  /file [size]              a well-behaved resource: 200, or 206 for a Range
  /echo                     200 whose body is the request head as received
  /stall [size, send]       Content-Length size, sends `send` bytes, then nothing
  /silent                   reads the request and never answers
  /close-early [size, send] Content-Length size, sends `send` bytes, closes
  /extra [size, extra]      Content-Length size, sends size + extra bytes
  /chunked [size, chunk]    chunked coding with extensions and a trailer
  /bad-chunk [size]         one good chunk, then a size line that is not hex
  /big-head [total]         a head of exactly `total` bytes, body "hello"
  /ignore-range [size]      200 with the whole body even for a Range request
  /no-length-close [size]   no Content-Length, sends the body and closes
  /no-length-open [size]    no Content-Length, sends the body, stays open
  /wrong-range [size, shift] 206 whose Content-Range starts `shift` bytes late
  /status [code, location]  that status, with a Location when given
  /raw [reply, then]        sends `reply` verbatim; then=close (default) or open
  /drip [part, every, bytes, size, path, endless, hold]
                            trickles the answer out, `bytes` (1) at a time every
                            `every` ms (1000), after `hold` ms of silence (0):
                            part=head from its first byte,
                            part=body (default) after a whole head. The body is
                            `size` pattern bytes, or the file at `path` (206 from
                            a Range); endless=1 sends chunked pattern bytes for ever

A connection serves further requests after an answer that leaves it usable.
With --log FILE one line per request is appended: "<connection> <target> <range>".
With --closed-log FILE one line "<connection>" is appended once the server has
closed that connection.
"""

import argparse
import threading
import time

import rawhttp

PATTERN = bytes(i % 251 for i in range(251))


def body(start, end):
    """Pattern bytes [start, end)."""
    first = start % 251
    count = end - start
    repeats = (first + count) // 251 + 1
    return (PATTERN * repeats)[first:first + count]


def head(status, headers):
    lines = ["HTTP/1.1 " + status] + [f"{name}: {value}" for name, value in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def well_behaved(conn, request):
    size = request.int_param("size", 1000)
    start = request.range_start()
    if start is None or start >= size:
        conn.sendall(head("200 OK", [("Content-Length", size)]) + body(0, size))
    else:
        conn.sendall(head("206 Partial Content", [
            ("Content-Length", size - start),
            ("Content-Range", f"bytes {start}-{size - 1}/{size}")]) + body(start, size))
    return True


def echo(conn, request):
    conn.sendall(head("200 OK", [("Content-Length", len(request.raw))]) + request.raw)
    return True


def stall(conn, request):
    size, send = request.int_param("size", 1000), request.int_param("send", 100)
    conn.sendall(head("200 OK", [("Content-Length", size)]) + body(0, send))
    rawhttp.hold_open(conn)
    return False


def silent(conn, request):
    rawhttp.hold_open(conn)
    return False


def close_early(conn, request):
    size, send = request.int_param("size", 1000), request.int_param("send", 500)
    conn.sendall(head("200 OK", [("Content-Length", size)]) + body(0, send))
    return False


def extra(conn, request):
    size, more = request.int_param("size", 1000), request.int_param("extra", 100)
    conn.sendall(head("200 OK", [("Content-Length", size)]) + body(0, size + more))
    return True


def chunked(conn, request):
    size, chunk = request.int_param("size", 1000), request.int_param("chunk", 100)
    out = head("200 OK", [("Transfer-Encoding", "chunked")])
    for index, start in enumerate(range(0, size, chunk)):
        piece = body(start, min(start + chunk, size))
        extension = ";name=value" if index == 1 else ""
        out += f"{len(piece):x}{extension}\r\n".encode() + piece + b"\r\n"
    out += b"0\r\nX-Trailer: done\r\n\r\n"
    conn.sendall(out)
    return True


def bad_chunk(conn, request):
    size = request.int_param("size", 100)
    conn.sendall(head("200 OK", [("Transfer-Encoding", "chunked")]) +
                 f"{size:x}\r\n".encode() + body(0, size) + b"\r\nzz\r\nxx\r\n")
    return False


def big_head(conn, request):
    total = request.int_param("total", 1024)
    start = head("200 OK", [("Content-Length", 5)])[:-2]
    padding = total - len(start) - len("X-Pad: \r\n\r\n")
    conn.sendall(start + b"X-Pad: " + b"p" * padding + b"\r\n\r\n" + b"hello")
    return True


def ignore_range(conn, request):
    size = request.int_param("size", 1000)
    conn.sendall(head("200 OK", [("Content-Length", size)]) + body(0, size))
    return True


def no_length(conn, request, keep_open):
    size = request.int_param("size", 1000)
    conn.sendall(head("200 OK", []) + body(0, size))
    if keep_open:
        rawhttp.hold_open(conn)
    return False


def wrong_range(conn, request):
    size, shift = request.int_param("size", 1000), request.int_param("shift", 10)
    start = (request.range_start() or 0) + shift
    conn.sendall(head("206 Partial Content", [
        ("Content-Length", size - start),
        ("Content-Range", f"bytes {start}-{size - 1}/{size}")]) + body(start, size))
    return True


def status(conn, request):
    code = request.query.get("code", "404")
    headers = [("Content-Length", 0)]
    if "location" in request.query:
        headers.append(("Location", request.query["location"]))
    conn.sendall(head(f"{code} Status", headers))
    return True


def raw(conn, request):
    conn.sendall(request.query.get("reply", "").encode("latin-1"))
    if request.query.get("then", "close") == "open":
        rawhttp.hold_open(conn)
    return False


def drip(conn, request):
    every = request.int_param("every", 1000) / 1000
    piece = request.int_param("bytes", 1)
    endless = request.query.get("endless") == "1"
    if endless:
        out, content = head("200 OK", [("Transfer-Encoding", "chunked")]), b""
    else:
        if "path" in request.query:
            with open(request.query["path"], "rb") as source:
                content = source.read()
        else:
            content = body(0, request.int_param("size", 1000))
        start = request.range_start()
        if start is not None and 0 < start < len(content):
            out = head("206 Partial Content", [
                ("Content-Length", len(content) - start),
                ("Content-Range", f"bytes {start}-{len(content) - 1}/{len(content)}")])
            content = content[start:]
        else:
            out = head("200 OK", [("Content-Length", len(content))])
    if request.query.get("part", "body") == "head":
        content, out = out + content, b""
    time.sleep(request.int_param("hold", 0) / 1000)
    try:
        conn.sendall(out)
        sent = 0
        while endless or sent < len(content):
            if endless:
                conn.sendall(f"{piece:x}\r\n".encode() + body(sent, sent + piece) + b"\r\n")
                sent += piece
            else:
                conn.sendall(content[sent:sent + piece])
                sent += len(content[sent:sent + piece])
            time.sleep(every)
    except OSError:
        return False  # the client gave up
    return True


BEHAVIOURS = {
    "/file": well_behaved,
    "/echo": echo,
    "/stall": stall,
    "/silent": silent,
    "/close-early": close_early,
    "/extra": extra,
    "/chunked": chunked,
    "/bad-chunk": bad_chunk,
    "/big-head": big_head,
    "/ignore-range": ignore_range,
    "/no-length-close": lambda conn, request: no_length(conn, request, keep_open=False),
    "/no-length-open": lambda conn, request: no_length(conn, request, keep_open=True),
    "/wrong-range": wrong_range,
    "/status": status,
    "/raw": raw,
    "/drip": drip,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", help="append one line per request to this file")
    parser.add_argument("--closed-log", help="append one line per closed connection to this file")
    args = parser.parse_args()
    log_lock = threading.Lock()  # one connection thread appends to either log at a time

    def append(path, line):
        with log_lock, open(path, "a", encoding="latin-1") as out:
            out.write(line + "\n")

    def log(connection_id, request):
        if args.log:
            append(args.log, f"{connection_id} {request.target} {request.headers.get('range', '-')}")

    def log_closed(connection_id):
        append(args.closed_log, str(connection_id))

    def handle_connection(conn, connection_id):
        while True:
            request = rawhttp.read_request(conn)
            if request is None:
                return
            log(connection_id, request)
            behaviour = BEHAVIOURS.get(request.path)
            if behaviour is None:
                conn.sendall(head("404 Not Found", [("Content-Length", 0)]))
                continue
            if not behaviour(conn, request):
                return

    rawhttp.serve(handle_connection, args.port, log_closed if args.closed_log else None)


if __name__ == "__main__":
    main()
