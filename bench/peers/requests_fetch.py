#!/usr/bin/python3
# The same fetch as fetchPageText with Python's requests (Debian's python3-requests):
# a new session, hence a new connection, per fetch. Prints the CPU seconds per fetch.
# Usage: /usr/bin/python3 requests_fetch.py <address> <iterations> <expected body length>
import json
import sys
import time

import requests

address, iterations, expected = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
headers = {
    "User-Agent": "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
    "Accept": "*/*",
    "Referer": address,
    "Accept-Language": "zh-cn",
    "Content-Type": "application/x-www-form-urlencoded",
}


def fetch():
    with requests.Session() as session:
        session.trust_env = False  # a direct connection, whatever the environment says
        return session.get(address, headers=headers).content


for _ in range(5):
    fetch()
start = time.process_time()
for _ in range(iterations):
    if len(fetch()) != expected:
        sys.exit("wrong body length")
seconds = time.process_time() - start
print(json.dumps({"cpuSecondsPerFetch": seconds / iterations}))
