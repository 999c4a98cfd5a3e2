"""Plumbing shared by the scripted test servers: a threaded TCP server on
loopback that hands every accepted connection to a handler, reads request
heads byte-exact, and prints its port on stdout once it accepts connections."""

import socket
import socketserver
import sys
import urllib.parse

MAX_REQUEST_HEAD = 64 * 1024


class Request:
    """One request head as received, plus the parts the servers look at."""

    def __init__(self, raw):
        self.raw = raw
        lines = raw.decode("latin-1").split("\r\n")
        parts = lines[0].split(" ")
        self.method = parts[0] if parts else ""
        self.target = parts[1] if len(parts) > 1 else ""
        url = urllib.parse.urlsplit(self.target)
        self.path = url.path
        self.query = {k: v[0] for k, v in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        self.headers = {}
        for line in lines[1:]:
            name, colon, value = line.partition(":")
            if colon:
                self.headers[name.strip().lower()] = value.strip()

    def int_param(self, name, default):
        return int(self.query.get(name, default))

    def range_start(self):
        """The first byte of a "bytes=N-" Range header, or None."""
        value = self.headers.get("range", "")
        if not value.startswith("bytes=") or not value.endswith("-"):
            return None
        return int(value[len("bytes="):-1])


def read_request(conn):
    """Reads one request head; returns None when the peer closed first."""
    head = b""
    while not head.endswith(b"\r\n\r\n"):
        byte = conn.recv(1)
        if not byte or len(head) >= MAX_REQUEST_HEAD:
            return None
        head += byte
    return Request(head)


def hold_open(conn, seconds=60):
    """Keeps a connection open, sending nothing, until the peer goes away."""
    conn.settimeout(seconds)
    try:
        while conn.recv(65536):
            pass
    except OSError:
        pass


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(handle_connection, port=0, on_closed=None):
    """Serves forever on 127.0.0.1; handle_connection(conn, connection_id).

    When the handler returns, the connection is closed, and then
    on_closed(connection_id) is called when given."""
    # Numbers connections; next() on it is atomic under the interpreter lock.
    counter = iter(range(1, sys.maxsize))

    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            connection_id = next(counter)
            try:
                handle_connection(self.request, connection_id)
            except (ConnectionError, BrokenPipeError, socket.timeout):
                pass
            # Closed now, as the server would close it afterwards, so that
            # on_closed tells of a close that has happened.
            self.server.shutdown_request(self.request)
            if on_closed:
                on_closed(connection_id)

    with _Server(("127.0.0.1", port), Handler) as server:
        print(server.server_address[1], flush=True)
        server.serve_forever()
