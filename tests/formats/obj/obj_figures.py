#!/usr/bin/env python3
"""Triangles, bounding box of the vertices faces use, and the material of each usemtl run of
OBJ files, computed apart from the reader to check its figures against.

    obj_figures.py FILE...
"""
import sys


def main(path):
    vs, used, triangles, materials = [], set(), 0, []
    for raw in open(path, "rb").read().decode("latin-1").splitlines():
        words = raw.split()
        if not words:
            continue
        if words[0] == "v":
            vs.append([float(w) for w in words[1:4]])
        elif words[0] == "f":
            idx = []
            for corner in words[1:]:
                i = int(corner.split("/")[0])
                idx.append(i - 1 if i > 0 else len(vs) + i)
            if len(idx) >= 3 and all(0 <= i < len(vs) for i in idx):
                triangles += len(idx) - 2
                used.update(idx)
        elif words[0] == "usemtl":
            materials.append(raw.split(None, 1)[1].strip())
    lo = [min(vs[i][c] for i in used) for c in range(3)]
    hi = [max(vs[i][c] for i in used) for c in range(3)]
    print(f"{path}: {triangles} triangles, box {lo} .. {hi}, usemtl {materials[:6]}")


for p in sys.argv[1:]:
    main(p)
