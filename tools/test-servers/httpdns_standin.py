#!/usr/bin/env python3
"""Stand-in for the HTTP-DNS service: answers GET /d?dn=<host>.&ttl=1 from a
table given on the command line.

  --answer HOST=TEXT   the body for HOST, e.g. "dl.example=1.2.3.4;5.6.7.8,60"
                       (repeatable); an unknown host gets an empty body
  --status CODE        answer every query with this status (default 200)
  --record FILE        append every request head, byte for byte, to FILE
  --drop               close every connection without an answer
  --port N             listen on this port (default: any free one)

It prints its port on stdout once it accepts connections.
"""

import argparse
import threading

import rawhttp


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--answer", action="append", default=[])
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--record")
    parser.add_argument("--drop", action="store_true")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    answers = dict(item.split("=", 1) for item in args.answer)
    record_lock = threading.Lock()  # one connection thread appends to the record at a time

    def handle_connection(conn, _connection_id):
        while True:
            request = rawhttp.read_request(conn)
            if request is None:
                return
            if args.record:
                with record_lock, open(args.record, "ab") as out:
                    out.write(request.raw)
            if args.drop:
                return
            host = request.query.get("dn", "").removesuffix(".")
            text = answers.get(host, "") if request.path == "/d" else ""
            body = text.encode("latin-1")
            conn.sendall(f"HTTP/1.1 {args.status} Answer\r\nContent-Length: {len(body)}\r\n"
                         "Content-Type: text/plain\r\n\r\n".encode("latin-1") + body)

    rawhttp.serve(handle_connection, args.port)


if __name__ == "__main__":
    main()
