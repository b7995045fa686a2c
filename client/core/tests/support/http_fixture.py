#!/usr/bin/env python3
"""A web server on loopback for the download tests. Prints its port, then
serves until killed:
  /live.cfg            a live-content configuration
  /notlive.cfg         text that is no live content
  /empty               200 with an empty body
  /status?code=N       an error page with status N
  /slow                headers and a few bytes, then nothing for a minute
  /big?bytes=N         N bytes of body
  /redirect?to=URL     302 to URL
  /version?major=&minor=&url=   a version file (a missing field is left out)
"""
import http.server
import sys
import time
import urllib.parse

LIVE = (b"News=\r\n{\r\n\t= \"A new board arrived\"\r\n}\r\n"
        b"Links=\r\n{\r\n\tHome= http://127.0.0.1/\r\n}\r\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def reply(self, body, status=200, headers=()):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/live.cfg":
            self.reply(LIVE)
        elif url.path == "/notlive.cfg":
            self.reply(b"<html><body>Not here</body></html>\r\n")
        elif url.path == "/empty":
            self.reply(b"")
        elif url.path == "/status":
            self.reply(LIVE, int(query.get("code", "500")))
        elif url.path == "/slow":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"News=\r\n")
            self.wfile.flush()
            time.sleep(60)
        elif url.path == "/big":
            size = int(query.get("bytes", "0"))
            self.send_response(200)
            self.end_headers()  # no length: the client must count
            chunk = b"x" * 65536
            while size > 0:
                self.wfile.write(chunk[:size])
                size -= len(chunk)
        elif url.path == "/redirect":
            self.reply(b"", 302, [("Location", query.get("to", "/"))])
        elif url.path == "/version":
            lines = []
            if "major" in query or "minor" in query:
                lines.append("Version=\r\n{\r\n")
                for key in ("major", "minor"):
                    if key in query:
                        lines.append("\t%s= %s\r\n" % (key.capitalize(), query[key]))
                lines.append("}\r\n")
            if "url" in query:
                lines.append("url= \"%s\"\r\n" % query["url"])
            self.reply("".join(lines).encode())
        else:
            self.reply(b"no such page", 404)


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    sys.stdout.close()
    server.serve_forever()


if __name__ == "__main__":
    main()
