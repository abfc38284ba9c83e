#!/usr/bin/env python3
"""A scripted app for trying the tool by hand: connects to a running Morvenda on 127.0.0.1:PORT
(start it with MORVENDA_PORT=PORT), shakes hands, reports a user, streams a few requests and
responses, then stays connected for --hold seconds so the connection list shows it as ready.

    MORVENDA_PORT=7777 MORVENDA_NO_ADVERTISE=1 build/MorvendaLib/morvenda &
    tests/app/scripted_peer.py 7777 --name "Retailer App" --hold 30
"""
import argparse
import json
import socket
import struct
import time
import uuid


def frame(document):
    body = json.dumps(document, separators=(",", ":")).encode("utf-8")
    return struct.pack("<I", len(body)) + body


def now_ms():
    return int(time.time() * 1000)


def exchanges():
    # (method, url, status, body)
    yield "get", "https://shop.example.com/api/cart?currency=EUR&items=3", 200, '{"items":[{"sku":"A-1","qty":2}]}'
    yield "post", "https://shop.example.com/api/event", 200, '{"ok":true}'
    yield "get", "https://shop.example.com/api/user/milestones", 200, '{"milestones":[]}'
    yield "post", "https://shop.example.com/api/setting/assign", 200, "{}"
    yield "put", "https://shop.example.com/api/orders/42", 409, '{"error":"conflict"}'
    yield "delete", "https://shop.example.com/api/cart/items/7", 204, ""
    yield "get", "https://cdn.example.com/img/logo.png", 200, ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("--name", default="Retailer App")
    parser.add_argument("--hold", type=float, default=20.0, help="seconds to stay connected at the end")
    parser.add_argument("--delay", type=float, default=0.2, help="seconds between messages")
    args = parser.parse_args()

    with socket.create_connection(("127.0.0.1", args.port), timeout=10) as peer:
        peer.sendall(frame({"handshake": args.name}))
        time.sleep(args.delay)
        peer.sendall(frame({"user": {
            "name": "Ada Example", "token": "tok-123", "capabilities": [], "isImpersonating": False,
            "isSubuser": False, "isAdmin": True, "tags": ["admin", "active", "placeOrder"]}}))
        for method, url, status, body in exchanges():
            message_id = str(uuid.uuid4()).upper()
            started = now_ms()
            peer.sendall(frame({"request": {
                "id": message_id, "url": url, "method": method, "timestamp": started,
                "headers": [{"name": "Accept", "value": "application/json"},
                            {"name": "Cookie", "value": "session=abc; theme=dark"}],
                **({"data": body} if method in ("post", "put") else {})}}))
            time.sleep(args.delay)
            peer.sendall(frame({"response": {
                "id": message_id, "batchID": str(uuid.uuid4()).upper(), "statusCode": status, "url": url,
                "source": {"network": {}}, "timestamp": now_ms(),
                "headers": [{"name": "Content-Type", "value": "application/json"}], "data": body}}))
            time.sleep(args.delay)
        time.sleep(args.hold)


if __name__ == "__main__":
    main()
