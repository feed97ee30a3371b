#!/usr/bin/env python3
"""A D-Bus service that starts and goes away at once, for the tests.

Started by the bus for VeruVeve.SetupConfig, it takes the name, which answers
the bus's start request with success, and gives it up again, both in the same
write, so that the bus has dealt with both before anyone can ask who owns the
name. Speaks the protocol itself over the socket: nothing beyond Python.
"""
import os
import socket
import struct

NAME = "VeruVeve.SetupConfig"


def pad(data, boundary):
    return data + b"\0" * (-len(data) % boundary)


def string(text, kind=b"s"):
    raw = text.encode()
    length = struct.pack("<B", len(raw)) if kind == b"g" else struct.pack("<I", len(raw))
    return length + raw + b"\0"


def call(serial, member, body_signature="", body=b""):
    """A method call to the bus itself, little-endian."""
    fields = [(1, b"o", "/org/freedesktop/DBus"), (2, b"s", "org.freedesktop.DBus"),
              (3, b"s", member), (6, b"s", "org.freedesktop.DBus")]
    if body_signature:
        fields.append((8, b"g", body_signature))
    array = b""
    for code, kind, value in fields:
        array = pad(array, 8) + struct.pack("<B", code) + string(kind.decode(), b"g") + string(value, kind)
    header = b"l\x01\x00\x01" + struct.pack("<III", len(body), serial, len(array)) + array
    return pad(header, 8) + body


def connect(address):
    for part in address.split(";"):
        kind, _, options = part.partition(":")
        values = dict(option.split("=", 1) for option in options.split(",") if "=" in option)
        if kind == "unix" and "path" in values:
            target = values["path"]
        elif kind == "unix" and "abstract" in values:
            target = "\0" + values["abstract"]
        else:
            continue
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.connect(target)
        return sock
    raise SystemExit("no usable address in " + address)


def main():
    sock = connect(os.environ["DBUS_STARTER_ADDRESS"])
    sock.sendall(b"\0AUTH EXTERNAL " + str(os.getuid()).encode().hex().encode() + b"\r\n")
    if not sock.recv(4096).startswith(b"OK"):
        raise SystemExit("the bus refused to authenticate")
    sock.sendall(b"BEGIN\r\n")
    name = string(NAME)
    sock.sendall(call(1, "Hello")
                 + call(2, "RequestName", "su", pad(name, 4) + struct.pack("<I", 4))
                 + call(3, "ReleaseName", "s", name))
    sock.recv(65536)


if __name__ == "__main__":
    main()
