"""An HTTP server for the Wine tests that records exactly what the client sends.

Each accepted connection is recorded with every request head that arrives on it, byte for byte.
The answer to a request comes from a handler. The server keeps a connection open only when the
client asked for it and the answer carries its length, as an HTTP/1.0 server does; so the number
of connections seen says whether the client opened a new one per request or asked to reuse it.
"""

import socket
import threading
import urllib.parse

from wine_support import LOCAL_HTTP_ADDRESS, ServedInBackground

HEAD_END = b"\r\n\r\n"
HEAD_LIMIT = 64 * 1024


class Request:
    def __init__(self, head):
        self.head = head  # the raw bytes up to and including the blank line
        lines = head[: -len(HEAD_END)].split(b"\r\n")
        self.line = lines[0]
        parts = self.line.split(b" ")
        if len(parts) >= 3:
            # An unescaped space in the target shows up as a target with spaces in it.
            self.method, self.target, self.version = parts[0], b" ".join(parts[1:-1]), parts[-1]
        else:
            self.method, self.target, self.version = (parts + [b"", b""])[:3]
        self.headers = []
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            self.headers.append((name.decode("latin-1"), value.strip().decode("latin-1")))
        self.path, _, query = self.target.partition(b"?")
        # Only %XX is decoded: a '+' stays a '+', as the client must escape a literal one.
        self.query = [
            tuple(urllib.parse.unquote_to_bytes(p) for p in pair.partition(b"=")[::2])
            for pair in query.split(b"&")
        ] if query else []

    def header(self, name):
        values = [v for n, v in self.headers if n.lower() == name.lower()]
        return values[0] if values else None

    def param(self, key):
        values = [v for k, v in self.query if k == key]
        return values[0] if len(values) == 1 else None


class Answer:
    def __init__(self, status, body, content_length=True, withheld=0, reason=None):
        self.status = status
        self.body = body
        self.content_length = content_length
        # Bytes announced in the length but never sent: the connection ends early.
        self.withheld = withheld
        self.reason = reason or {200: "OK", 404: "Not Found", 500: "Internal Server Error"}.get(
            status, "Status")

    def encode(self, keep_alive):
        head = "HTTP/1.0 %d %s\r\nContent-Type: text/html\r\n" % (self.status, self.reason)
        if self.content_length:
            head += "Content-Length: %d\r\n" % (len(self.body) + self.withheld)
        if keep_alive:
            head += "Connection: keep-alive\r\n"
        return head.encode("ascii") + b"\r\n" + self.body


class Connection:
    def __init__(self, number):
        self.number = number
        self.requests = []
        self.unparsed = b""  # bytes that never formed a whole request head


class RecordingServer(ServedInBackground):
    def __init__(self, handler, address=LOCAL_HTTP_ADDRESS):
        self.handler = handler
        self.connections = []
        self.errors = []
        self._lock = threading.Lock()
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._socket.bind(address)
        self._socket.listen(16)
        self._threads = []

    def stop(self):
        self._socket.close()
        for thread in self._threads:
            thread.join(timeout=10)

    def requests(self):
        with self._lock:
            return [r for c in self.connections for r in c.requests]

    def serve(self):
        while True:
            try:
                sock, _ = self._socket.accept()
            except OSError:
                return
            with self._lock:
                connection = Connection(len(self.connections) + 1)
                self.connections.append(connection)
            thread = threading.Thread(target=self._serve, args=(sock, connection), daemon=True)
            self._threads.append(thread)
            thread.start()

    def _serve(self, sock, connection):
        sock.settimeout(30)
        pending = b""
        try:
            with sock:
                while True:
                    while HEAD_END not in pending and len(pending) < HEAD_LIMIT:
                        data = sock.recv(65536)
                        if not data:
                            with self._lock:
                                connection.unparsed = pending
                            return
                        pending += data
                    end = pending.find(HEAD_END)
                    if end < 0:
                        with self._lock:
                            connection.unparsed = pending
                        return
                    head, pending = pending[: end + len(HEAD_END)], pending[end + len(HEAD_END):]
                    request = Request(head)
                    with self._lock:
                        connection.requests.append(request)
                    answer = self.handler(request)
                    wants_keep_alive = (request.header("Connection") or "").lower() == "keep-alive"
                    keep_alive = (wants_keep_alive and answer.content_length and
                                  not answer.withheld)
                    sock.sendall(answer.encode(keep_alive))
                    if not keep_alive:
                        sock.shutdown(socket.SHUT_WR)
                        # Drain so that closing sends no reset while the client still reads.
                        while sock.recv(65536):
                            pass
                        return
        except Exception as error:  # noqa: BLE001 - reported by the test as a failure
            with self._lock:
                self.errors.append("connection %d: %r" % (connection.number, error))
