#!/usr/bin/env python3
"""The misbehaving server's behaviours under the paths a real client asks for,
so that a program with fixed URLs (the launcher) meets them:

  --route PATH=BEHAVIOUR[?QUERY]   answer requests for PATH as misbehaving_server
                                   answers BEHAVIOUR, with QUERY as its
                                   parameters (repeatable), e.g.
                                   --route /download/vorn_ad2.exe=/close-early?size=9000&send=4000
                                   A PATH routed more than once answers its
                                   requests with those behaviours in turn, the
                                   last one from then on.
  --port N                         listen on this port (default: any free one)
  --log FILE                       append "<connection> <target> <range>" per request

Any other path is answered 404. It prints its port on stdout once it accepts
connections.
"""

import argparse
import threading
import urllib.parse

import misbehaving_server
import rawhttp


def parse_route(text):
    path, _, target = text.partition("=")
    split = urllib.parse.urlsplit(target)
    if split.path not in misbehaving_server.BEHAVIOURS:
        raise argparse.ArgumentTypeError(f"no behaviour {split.path}")
    return path, (misbehaving_server.BEHAVIOURS[split.path],
                  dict(urllib.parse.parse_qsl(split.query, keep_blank_values=True)))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--route", type=parse_route, action="append", default=[])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log")
    args = parser.parse_args()
    routes = {}
    for path, route in args.route:
        routes.setdefault(path, []).append(route)
    answered = {}  # requests answered per path; guarded by turn_lock
    turn_lock = threading.Lock()
    log_lock = threading.Lock()  # one connection thread appends to the log at a time

    def route_for(path):
        with turn_lock:
            turn = answered.get(path, 0)
            answered[path] = turn + 1
        choices = routes[path]
        return choices[min(turn, len(choices) - 1)]

    def handle_connection(conn, connection_id):
        while True:
            request = rawhttp.read_request(conn)
            if request is None:
                return
            if args.log:
                with log_lock, open(args.log, "a", encoding="latin-1") as out:
                    out.write(f"{connection_id} {request.target} "
                              f"{request.headers.get('range', '-')}\n")
            if request.path not in routes:
                conn.sendall(misbehaving_server.head("404 Not Found", [("Content-Length", 0)]))
                continue
            behaviour, query = route_for(request.path)
            request.query = query
            if not behaviour(conn, request):
                return

    rawhttp.serve(handle_connection, args.port)


if __name__ == "__main__":
    main()
