#!/usr/bin/env python3
"""Writes the seeds of gltf_files_fuzzer: each real .gltf/.glb with the buffer files it names,
packed as that fuzzer reads them (a form byte, then records of name and data).

usage: make_gltf_files_seeds.py OUT_DIR SOURCE_DIR...
Models whose files together exceed 256 KiB are skipped: big seeds slow every mutation down."""
import json
import os
import struct
import sys
import urllib.parse

MAX_BYTES = 256 * 1024


def record(name, data):
    encoded = name.encode()
    return bytes([len(encoded)]) + encoded + struct.pack("<I", len(data)) + data


def document(path, data):
    if path.endswith(".glb"):
        if len(data) < 20:
            return None
        length = struct.unpack("<I", data[12:16])[0]
        data = data[20:20 + length]
    try:
        return json.loads(data)
    except ValueError:
        return None


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    written = 0
    for source in sys.argv[2:]:
        for root, _, files in os.walk(source):
            for name in sorted(files):
                if not name.endswith((".gltf", ".glb")):
                    continue
                path = os.path.join(root, name)
                with open(path, "rb") as f:
                    model = f.read()
                doc = document(path, model)
                if not isinstance(doc, dict) or not isinstance(doc.get("buffers"), list):
                    continue
                parts = [record("model", model)]
                size = len(model)
                for buffer in doc["buffers"][:4]:
                    uri = buffer.get("uri") if isinstance(buffer, dict) else None
                    if not isinstance(uri, str) or uri.startswith("data:"):
                        continue
                    file = os.path.join(root, urllib.parse.unquote(uri))
                    if "/" in urllib.parse.unquote(uri) or not os.path.isfile(file):
                        continue
                    with open(file, "rb") as f:
                        data = f.read()
                    size += len(data)
                    parts.append(record(urllib.parse.unquote(uri), data))
                if size > MAX_BYTES:
                    continue
                form = b"\x01" if name.endswith(".glb") else b"\x00"
                with open(os.path.join(out, "%04d_%s" % (written, name)), "wb") as f:
                    f.write(form + b"".join(parts))
                written += 1
    print("%d glTF file seeds in %s" % (written, out))


if __name__ == "__main__":
    main()
