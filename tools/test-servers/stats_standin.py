#!/usr/bin/env python3
"""Stand-in for the statistics service: accepts the launcher's form POSTs on
loopback, records each one and answers with a fixed status.

  --record FILE   append one JSON line per request to FILE:
                  {"body":"...","method":"POST","path":"/data/..."}
  --status CODE   answer every request with this status (default 200)
  --port N        listen on this port (default: any free one)

It prints its port on stdout once it accepts connections, and runs until it
is ended by a signal.
"""

import argparse
import http.server
import json
import threading


def make_handler(record_path, status, record_lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def handle_request(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length).decode("utf-8", "replace")
            if record_path:
                line = json.dumps({"method": self.command, "path": self.path, "body": body},
                                  sort_keys=True, separators=(",", ":"))
                with record_lock, open(record_path, "a", encoding="utf-8") as out:
                    out.write(line + "\n")
            answer = b"ok"
            self.send_response(status)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)

        do_POST = handle_request
        do_GET = handle_request

        def log_message(self, format, *args):  # the record file is the log
            pass

    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--record")
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    handler = make_handler(args.record, args.status, threading.Lock())
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
