#!/usr/bin/python3
"""The product check's four shop requests, done with Python requests, as a peer.

Usage: shop_requests.py HOST:PORT COUNT

Sends, for each of COUNT products, the stock, price, promotion and WeChat price
requests one after another (fresh connection each, the same request header lines as
the program's fetch) and prints the process CPU seconds spent as "cpu_seconds N".
"""
import sys
import time

import requests

HEADERS_BASE = {
    "User-Agent": "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
    "Accept": "*/*",
    "Accept-Language": "zh-cn",
    "Content-Type": "application/x-www-form-urlencoded",
}


def addresses(host, product):
    code = "1_72_2799"
    return [
        f"http://{host}/stock?skuId={product}&venderId=1000&cat=9987,653,655&area={code}"
        "_0&buyNum=1&extraParam={%22originid%22:%221%22}&ch=1&callback=getStockCallback",
        f"http://{host}/prices/get?skuid=J_{product}&type=1&area={code}&callback=cnp",
        f"http://{host}/promoinfo/get?id={product}&area={code}_0&origin=1&callback=Promotions.set",
        f"http://{host}/prices/pcpmgets?skuids={product}&origin=4&source=wxsq&area={code}"
        "&callback=singlePrice&g_ty=ls",
    ]


def main():
    host, count = sys.argv[1], int(sys.argv[2])
    start = time.process_time()
    failures = 0
    for i in range(count):
        for address in addresses(host, 100000 + i):
            headers = dict(HEADERS_BASE, Referer=address)
            try:
                # A fresh session per request: no connection is kept, as in the program.
                with requests.Session() as s:
                    s.trust_env = False
                    r = s.get(address, headers=headers, timeout=10)
                    r.content
            except requests.RequestException:
                failures += 1
    print(f"cpu_seconds {time.process_time() - start:.6f}")
    print(f"failures {failures}")


if __name__ == "__main__":
    main()
