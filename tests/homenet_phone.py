#!/usr/bin/env python3
"""homenet_phone.py ADDRESS

A phone on the home network (run in its own network namespace): joins with
the address the desktop's code holds, reads the list, ticks its first line;
then tries the same from an address outside the private ranges, which the
desktop must refuse. Prints what it saw; exits 1 on the first fault.
"""
import http.client
import json
import sys
import urllib.parse

address = sys.argv[1]
url = urllib.parse.urlsplit(address)
secret = url.fragment.split("join=", 1)[1]


def call(method, path, body=None, token=None, source=None):
    c = http.client.HTTPConnection(url.hostname, url.port, timeout=10,
                                   source_address=(source, 0) if source else None)
    headers = {"Content-Type": "application/json"}
    if token:
        headers["Authorization"] = "Bearer " + token
    c.request(method, path, body=json.dumps(body) if body is not None else None, headers=headers)
    r = c.getresponse()
    data = r.read()
    return r.status, (json.loads(data) if data else {})


status, joined = call("POST", "/api/join", {"secret": secret, "name": "Phone on the Wi-Fi"},
                      source="192.168.231.2")
if status != 200:
    print("FAIL: join answered %d %s" % (status, joined))
    sys.exit(1)
token = joined["token"]
status, lst = call("GET", "/api/list", token=token, source="192.168.231.2")
lines = [l for g in lst.get("groups", []) for l in g["lines"]]
if status != 200 or not lines:
    print("FAIL: the list answered %d with %d lines" % (status, len(lines)))
    sys.exit(1)
status, acks = call("POST", "/api/ops", {"src": "wifi", "ops": [
    {"seq": 1, "kind": "tick", "line": lines[0]["id"]}]}, token=token, source="192.168.231.2")
if status != 200:
    print("FAIL: the tick answered %d" % status)
    sys.exit(1)
print("joined through %s, read %d lines, ticked %s" % (url.netloc, len(lines), lines[0]["item"]))
try:
    status, _ = call("GET", "/api/list", token=token, source="198.51.100.2")
    print("FAIL: a peer outside the private ranges was answered %d" % status)
    sys.exit(1)
except (ConnectionError, http.client.HTTPException, OSError) as e:
    print("a peer outside the private ranges was refused (%s)" % type(e).__name__)
