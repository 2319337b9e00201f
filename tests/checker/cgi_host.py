#!/usr/bin/env python3
"""A small web server that runs one CGI program for every GET, the way a web server with
CGI support does: the request's address and headers go into the program's environment and
its output follows the status line. Accepts absolute URLs in the request line.

usage: cgi_host.py LISTEN_ADDRESS CGI_PROGRAM   (prints the port once it listens)"""
import http.server
import subprocess
import sys
import urllib.parse

PROGRAM = sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.path
        if path.startswith("http://"):
            path = "/" + path[len("http://"):].partition("/")[2]
        url = urllib.parse.urlsplit(path)
        env = {
            "GATEWAY_INTERFACE": "CGI/1.1",
            "REQUEST_METHOD": self.command,
            "SERVER_PROTOCOL": self.request_version,
            "SCRIPT_NAME": url.path,
            "QUERY_STRING": url.query,
            "REMOTE_ADDR": self.client_address[0],
        }
        for name, value in self.headers.items():
            env["HTTP_" + name.upper().replace("-", "_")] = value
        output = subprocess.run([PROGRAM], env=env, capture_output=True).stdout
        head, _, body = output.partition(b"\r\n\r\n")
        self.wfile.write(b"HTTP/1.0 200 OK\r\n" + head + b"\r\nConnection: close\r\n\r\n" + body)


server = http.server.ThreadingHTTPServer((sys.argv[1], 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
