#!/usr/bin/env python3
"""Writes the loader fuzzer's seeds: small real model files, each prefixed with the byte
that makes loader_fuzzer pick its extension.

usage: make_loader_seeds.py OUT_DIR SOURCE_DIR...
Files above 64 KiB are skipped: big seeds slow every mutation down."""
import os
import sys

# Must match kNames in loader_fuzzer.cpp.
EXTENSIONS = ["stl", "obj", "ply", "usd", "usdz", "usda", "usdc", "abc", "dae",
              "scn", "gltf", "glb", "3mf", "fbx", "vdb", "xyz"]
MAX_BYTES = 64 * 1024


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    written = 0
    for source in sys.argv[2:]:
        for root, _, files in os.walk(source):
            for name in sorted(files):
                ext = os.path.splitext(name)[1][1:].lower()
                if ext == "model":  # a bare 3MF model part: still worth a try as a package
                    ext = "3mf"
                if ext not in EXTENSIONS:
                    continue
                path = os.path.join(root, name)
                if os.path.getsize(path) > MAX_BYTES:
                    continue
                with open(path, "rb") as f:
                    data = f.read()
                seed = bytes([EXTENSIONS.index(ext)]) + data
                with open(os.path.join(out, "%04d_%s" % (written, name)), "wb") as f:
                    f.write(seed)
                written += 1
    print("%d loader seeds in %s" % (written, out))


if __name__ == "__main__":
    main()
