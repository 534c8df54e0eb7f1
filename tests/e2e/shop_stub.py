"""Loopback stand-ins for the web peers of the program: the shop's stock, price,
promotion and WeChat price endpoints and its product page, the region endpoint,
the QR-code service and the publisher's pages.

Each peer listens on its own port, as each is its own host to the program. The
replies follow a phase that the scenario sets (normal price, price at the wished
price, in stock), and every request is logged with its headers.
"""

import json
import struct
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit


def png_bytes(width, height, rgb):
    """A plain PNG of one colour, made without any imaging library."""
    row = b"\x00" + bytes(rgb) * width
    raw = row * height

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def escaped(text):
    """JSON text with every non-ASCII character as a backslash-u escape."""
    return json.dumps(text, ensure_ascii=True)[1:-1]


BANNER_RGB = (0x2A, 0x9D, 0x8F)
QR_RGB = (0x1E, 0x1E, 0x1E)

# The places the region endpoint knows: id -> [(child id, child name)].
REGIONS = {
    "1": [("72", "朝阳区"), ("2800", "海淀区")],
    "72": [("2799", "三环以内"), ("2819", "三环到四环之间")],
}


class Product:
    def __init__(self, sku, name, vender_id, cat):
        self.sku, self.name, self.vender_id, self.cat = sku, name, vender_id, cat


class ShopStub:
    """The web peers, with a phase the scenario moves on:
    "normal": out of stock at the normal price;
    "price_drop": still out of stock, every price at the wished price;
    "in_stock": in stock ("现货") at the dropped price;
    "restock": in stock at the normal price;
    "down": every shop endpoint closes the connection without a reply."""

    PHASES = {
        "normal": ("无货", "99.00"),
        "price_drop": ("无货", "50.00"),
        "in_stock": ("现货", "50.00"),
        "restock": ("现货", "99.00"),
    }

    def __init__(self, host, ports, product):
        self.host = host
        self.ports = ports
        self.product = product
        self.phase = "normal"
        self.log = []
        self.lock = threading.Lock()
        self.servers = []
        self.threads = []

    # --- the log -------------------------------------------------------------

    def requests(self, service=None):
        with self.lock:
            return [r for r in self.log if service is None or r["service"] == service]

    def count(self, service):
        return len(self.requests(service))

    def set_phase(self, phase):
        with self.lock:
            self.phase = phase

    # --- the replies ---------------------------------------------------------

    def reply(self, service, path, query):
        """(status, content type, body bytes), or None to drop the connection."""
        with self.lock:
            phase = self.phase
        shop = service in ("stock", "price", "promotion", "wechat_price", "product_page")
        if phase == "down" and shop:
            return None
        state, price = self.PHASES.get(phase, self.PHASES["normal"])
        p = self.product
        if service == "stock":
            body = ('getStockCallback({"stock":{"StockState":%d,"StockStateName":"%s",'
                    '"area":{"provinceName":"%s"},"skuId":%s},"choseSuit":[]})'
                    % (33 if state == "现货" else 34, escaped(state), escaped("北京"), p.sku))
            return 200, "application/javascript", body.encode("gbk")
        if service == "price":
            body = 'cnp([{"id":"J_%s","p":"%s","m":"129.00","op":"99.00"}]);\n' % (p.sku, price)
            return 200, "application/javascript", body.encode("gbk")
        if service == "promotion":
            body = 'Promotions.set({"skuId":%s,"prom":{"tags":[]},"quan":{}});' % p.sku
            return 200, "application/javascript", body.encode("gbk")
        if service == "wechat_price":
            body = 'singlePrice([{"id":"%s","p":"%s","m":"129.00"}]);' % (p.sku, price)
            return 200, "application/javascript", body.encode("gbk")
        if service == "product_page":
            if path != f"/{p.sku}.html":
                return 404, "text/html", "<html><body>没有此商品</body></html>".encode("gbk")
            page = (
                '<!DOCTYPE html><html><head><meta charset="gbk"><title>%s</title></head><body>\n'
                '<script>var pageConfig = {product: {skuid: %s,\n name: "%s",\n'
                ' venderId: %s ,\n shopId: 1000000127,\n cat: [ %s ],\n type: 1}};</script>\n'
                '<div class="product-intro clearfix"><div class="preview-wrap">'
                '<img id="spec-img" width="350" data-origin="//img.example/a.jpg" alt="%s"/>'
                '</div></div>\n</body></html>\n'
                % (p.name, p.sku, p.name, p.vender_id, p.cat, p.name))
            return 200, "text/html; charset=gbk", page.encode("gbk")
        if service == "region":
            places = REGIONS.get(query.get("pid", [""])[0], [])
            body = "[" + ",".join('{"id":"%s","aname":"%s"}' % (i, escaped(n)) for i, n in places) + "]"
            return 200, "application/json", body.encode("ascii")
        if service == "publisher":
            if path.startswith("/banner"):
                return 200, "image/png", png_bytes(888, 95, BANNER_RGB)
            return 200, "text/html", b"<html><body>Quillmoor</body></html>"
        if service == "qr":
            return 200, "image/png", png_bytes(200, 200, QR_RGB)
        return 404, "text/plain", b"not here"

    # --- the servers ---------------------------------------------------------

    def start(self):
        stub = self
        for service, port in self.ports.items():
            if service == "smtp":
                continue

            class Handler(BaseHTTPRequestHandler):
                protocol_version = "HTTP/1.1"
                peer = service

                def do_GET(self):
                    split = urlsplit(self.path)
                    entry = {
                        "service": self.peer, "time": time.monotonic(),
                        "request_line": self.requestline, "path": split.path,
                        "query": parse_qs(split.query, keep_blank_values=True),
                        "raw_query": split.query, "headers": dict(self.headers.items()),
                    }
                    with stub.lock:
                        stub.log.append(entry)
                    answer = stub.reply(self.peer, split.path, entry["query"])
                    if answer is None:
                        self.close_connection = True
                        return
                    status, kind, body = answer
                    self.send_response(status)
                    self.send_header("Content-Type", kind)
                    self.send_header("Content-Length", str(len(body)))
                    self.send_header("Connection", "close")
                    self.end_headers()
                    self.wfile.write(body)
                    self.close_connection = True

                def log_message(self, *args):
                    pass

            server = ThreadingHTTPServer((self.host, port), Handler)
            server.daemon_threads = True
            thread = threading.Thread(target=server.serve_forever, name=f"stub-{service}",
                                      daemon=True)
            thread.start()
            self.servers.append(server)
            self.threads.append(thread)
        return self

    def stop(self):
        for server in self.servers:
            server.shutdown()
            server.server_close()
        for thread in self.threads:
            thread.join(5)
        self.servers.clear()
        self.threads.clear()
