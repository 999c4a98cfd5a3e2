#!/usr/bin/env python3
"""A TLS server that misbehaves on purpose, one way per run. It speaks TLS
through memory buffers, so it decides how its encrypted bytes go out, down to
one at a time.

Every answer is "200 OK" whose body is the server name the client sent (SNI),
or "(none)" when it sent none.

  --behaviour answer          each request answered in one record (default)
  --behaviour silent          accepts, reads, never sends a byte
  --behaviour drip-handshake  its hand-shake goes out one byte every --interval s
  --behaviour drip-body       the answer's head in one record, then the body's
                              record one byte every --interval s

After an answer, --end says what follows: open (further requests are served;
the default), notify (close_notify, the TCP connection kept open), close (a
TCP close without close_notify), cut (only the first half of the answer's
record is sent, then a TCP close).

--tls1.1 offers TLS 1.1 alone, with the ciphers of security level 0 that it
needs. The port is printed on stdout once the server accepts connections.
"""

import argparse
import ssl
import time
import warnings

import rawhttp


class ServerSession:
    """The server's side of one TLS connection, over its socket."""

    def __init__(self, conn, context, send):
        self.conn = conn
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        self.send = send  # how the hand-shake's bytes go on the wire

    def receive(self):
        data = self.conn.recv(65536)
        if not data:
            raise ConnectionError("the client closed the connection")
        self.incoming.write(data)

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                break
            except ssl.SSLWantReadError:
                self.send(self.outgoing.read())
                self.receive()
            except ssl.SSLError:
                self.send(self.outgoing.read())  # the alert that says why
                raise
        self.send(self.outgoing.read())

    def read_request(self):
        head = b""
        while not head.endswith(b"\r\n\r\n"):
            try:
                byte = self.tls.read(1)
            except ssl.SSLWantReadError:
                self.receive()
                continue
            if not byte:
                raise ConnectionError("the client ended the stream")
            head += byte
        return head

    def records(self, data):
        """data sealed in TLS records, not yet sent."""
        self.tls.write(data)
        return self.outgoing.read()

    def close_notify(self):
        try:
            self.tls.unwrap()
        except ssl.SSLWantReadError:
            pass  # the client's own close_notify is not awaited
        return self.outgoing.read()


def make_context(args, server_names):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    if args.tls11:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.minimum_version = ssl.TLSVersion.TLSv1_1
            context.maximum_version = ssl.TLSVersion.TLSv1_1
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.sni_callback = lambda tls, name, context: server_names.append(name)
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cert", required=True, help="certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    parser.add_argument("--behaviour", default="answer",
                        choices=["answer", "silent", "drip-handshake", "drip-body"])
    parser.add_argument("--end", default="open", choices=["open", "notify", "close", "cut"])
    parser.add_argument("--interval", type=float, default=0.05)
    parser.add_argument("--tls1.1", dest="tls11", action="store_true")
    args = parser.parse_args()

    def handle_connection(conn, connection_id):
        if args.behaviour == "silent":
            rawhttp.hold_open(conn)
            return

        def drip(data):
            for byte in data:
                conn.sendall(bytes([byte]))
                time.sleep(args.interval)

        server_names = []
        context = make_context(args, server_names)
        session = ServerSession(conn, context,
                                drip if args.behaviour == "drip-handshake" else conn.sendall)
        try:
            session.handshake()
            while True:
                session.read_request()
                body = (server_names[0] if server_names and server_names[0] else "(none)").encode()
                head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)
                if args.behaviour == "drip-body":
                    conn.sendall(session.records(head))
                    drip(session.records(body))
                    rawhttp.hold_open(conn)
                    return
                answer = session.records(head + body)
                if args.end == "cut":
                    conn.sendall(answer[:len(answer) // 2])
                    return
                conn.sendall(answer)
                if args.end == "notify":
                    conn.sendall(session.close_notify())
                    rawhttp.hold_open(conn)
                    return
                if args.end == "close":
                    return
        except ssl.SSLError:
            pass  # the client refused the hand-shake or broke the stream

    rawhttp.serve(handle_connection)


if __name__ == "__main__":
    main()
