"""Starts what a group of translation-service instances needs, on free loopback ports, for the
tests and benchmarks that run one: Redis, the LibreTranslate stand-in, instances and nginx with
the configuration in packaging/nginx/, all under one temporary folder. Every process started
is stopped when the Group's `with` block ends, whatever happens.

    with Group(build_dir) as group:
        redis = group.redis()
        upstream = group.stand_in()
        first = group.instance("--upstream", "libretranslate=" + upstream.url,
                               "--shared-state", redis.url)
        front = group.nginx([first.port])"""

import contextlib
import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from service_ready import free_port, wait_ready  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NGINX_SITE = os.path.join(ROOT, "packaging", "nginx", "translation-service.conf")
NGINX = "/usr/sbin/nginx"
REDIS = "/usr/bin/redis-server"


def missing_programs():
    """The programs a group needs that are not installed."""
    return [path for path in (NGINX, REDIS) if not os.access(path, os.X_OK)]


class Process:
    def __init__(self, popen, port, url):
        self.popen, self.port, self.url = popen, port, url


def _answers_ping(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1) as probe:
            probe.sendall(b"PING\r\n")
            return probe.recv(64).startswith(b"+PONG")
    except OSError:
        return False


def _answers_http(port):
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=2)
        connection.request("GET", "/nginx-ready-probe")
        connection.getresponse().read()
        connection.close()
        return True
    except OSError:
        return False


def _wait(ready, process, what, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("%s ended at start (status %s)" % (what, process.returncode))
        if ready():
            return
        time.sleep(0.05)
    raise RuntimeError("%s did not answer within %d s" % (what, seconds))


def render_nginx(site, listen_port, instance_ports):
    """The packaging configuration with its instances and its address replaced by these."""
    servers = "".join("    server 127.0.0.1:%d max_fails=1 fail_timeout=10s;\n" % port
                      for port in instance_ports)
    site, count = re.subn(r"(    server 127\.0\.0\.1:\d+ [^\n]*\n)+", servers, site, count=1)
    if count != 1:
        raise RuntimeError("no instance lines in " + NGINX_SITE)
    site = site.replace("listen 80 default_server;",
                        "listen 127.0.0.1:%d default_server;" % listen_port)
    return site.replace("listen [::]:80 default_server;", "")


class Group(contextlib.ExitStack):
    def __init__(self, build_dir):
        super().__init__()
        self.build_dir = build_dir
        self.folder = tempfile.mkdtemp(prefix="service-group-")
        self.callback(shutil.rmtree, self.folder, True)
        self.log = open(os.path.join(self.folder, "log"), "wb")
        self.callback(self.log.close)

    def _start(self, command, **options):
        process = subprocess.Popen(command, stdout=options.pop("stdout", self.log),
                                   stderr=self.log, **options)
        self.callback(self.stop, process)
        return process

    @staticmethod
    def stop(process, kill=False):
        if process.poll() is None:
            process.send_signal(signal.SIGKILL if kill else signal.SIGTERM)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()

    def logs(self):
        self.log.flush()
        with open(os.path.join(self.folder, "log"), "rb") as log:
            return log.read().decode("utf-8", "replace")

    def redis(self, port=None):
        port = port or free_port()
        folder = os.path.join(self.folder, "redis")
        os.makedirs(folder, exist_ok=True)
        process = self._start([REDIS, "--port", str(port), "--bind", "127.0.0.1", "--save", "",
                               "--appendonly", "no", "--dir", folder])
        _wait(lambda: _answers_ping(port), process, "redis-server")
        return Process(process, port, "redis://127.0.0.1:%d" % port)

    def stand_in(self):
        binary = os.path.join(self.build_dir, "libretranslate-stand-in")
        process = self._start([binary, "0"], stdout=subprocess.PIPE)
        line = process.stdout.readline().decode()
        match = re.search(r"http://127\.0\.0\.1:(\d+)", line)
        if not match:
            raise RuntimeError("the LibreTranslate stand-in did not start: " + line)
        return Process(process, int(match.group(1)), match.group(0))

    def instance(self, *options, apertium=False):
        """An instance with these options; without Apertium's pairs unless `apertium`."""
        binary = os.path.join(self.build_dir, "translation-service")
        command = [binary, "--listen", "127.0.0.1:%d" % free_port()]
        if not apertium:
            no_modes = os.path.join(self.folder, "no-modes")
            os.makedirs(no_modes, exist_ok=True)
            command += ["--modes", no_modes]
        port = int(command[2].rsplit(":", 1)[1])
        process = self._start(command + list(options))
        if wait_ready("http://127.0.0.1:%d" % port, process, 180) is None:
            raise RuntimeError("an instance did not start:\n" + self.logs())
        return Process(process, port, "http://127.0.0.1:%d" % port)

    def nginx(self, instance_ports):
        """nginx with the packaged site in front of these instances."""
        port = free_port()
        with open(NGINX_SITE) as packaged:
            return self._nginx(render_nginx(packaged.read(), port, instance_ports), port)

    def nginx_fixed(self, body):
        """nginx answering every request with 200 and `body`: what HTTP costs with no work."""
        port = free_port()
        site = ("server {\n    listen 127.0.0.1:%d;\n    keepalive_requests 1000000;\n"
                "    location / { default_type text/plain; return 200 '%s'; }\n}\n" % (port, body))
        return self._nginx(site, port)

    def _nginx(self, site, port):
        folder = os.path.join(self.folder, "nginx-%d" % port)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "site.conf"), "w") as rendered:
            rendered.write(site)
        temp_paths = "".join("    %s_temp_path %s/%s;\n" % (kind, folder, kind) for kind in
                             ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        with open(os.path.join(folder, "nginx.conf"), "w") as main:
            main.write("worker_processes 1;\npid %s/nginx.pid;\nerror_log %s/error.log;\n"
                       "events { worker_connections 512; }\n"
                       "http {\n    access_log off;\n%s    include %s/site.conf;\n}\n"
                       % (folder, folder, temp_paths, folder))
        process = self._start([NGINX, "-p", folder, "-c", os.path.join(folder, "nginx.conf"),
                               "-e", os.path.join(folder, "error.log"), "-g", "daemon off;"])
        _wait(lambda: _answers_http(port), process, "nginx")
        return Process(process, port, "http://127.0.0.1:%d" % port)


def calls(stand_in):
    """How many translations reached a LibreTranslate stand-in."""
    connection = http.client.HTTPConnection("127.0.0.1", stand_in.port, timeout=10)
    connection.request("GET", "/calls")
    count = json.loads(connection.getresponse().read())["translate"]
    connection.close()
    return count
