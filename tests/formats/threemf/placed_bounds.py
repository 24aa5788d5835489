#!/usr/bin/env python3
"""Placed meshes, triangles and bounding box of 3MF packages, computed apart from the importer
(zipfile + ElementTree, namespaces resolved) to check its figures against.

    placed_bounds.py PACKAGE...
"""
import sys
import zipfile
import xml.etree.ElementTree as ET

CORE = "{http://schemas.microsoft.com/3dmanufacturing/core/2015/02}"
PROD_PATH = "{http://schemas.microsoft.com/3dmanufacturing/production/2015/06}path"
IDENTITY = [1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0]


def matrix(text):
    return [float(v) for v in text.split()] if text else IDENTITY


def then(a, b):  # a applied first, then b; row vectors
    r = []
    for row in range(4):
        for col in range(3):
            s = b[9 + col] if row == 3 else 0.0
            s += sum(a[row * 3 + k] * b[k * 3 + col] for k in range(3))
            r.append(s)
    return r


def main(path):
    package = zipfile.ZipFile(path)
    parts = {}

    def part(name):
        name = name.lstrip("/")
        if name not in parts:
            root = ET.fromstring(package.read(name))
            parts[name] = {o.get("id"): o for o in root.iter(CORE + "object")}, root
        return parts[name]

    meshes, triangles = 0, 0
    lo, hi = [float("inf")] * 3, [float("-inf")] * 3

    def place(partName, objectId, m, depth):
        nonlocal meshes, triangles
        objects, _ = part(partName)
        o = objects[objectId]
        mesh = o.find(CORE + "mesh")
        if mesh is not None:
            vs = [(float(v.get("x")), float(v.get("y")), float(v.get("z"))) for v in mesh.iter(CORE + "vertex")]
            meshes += 1
            triangles += sum(1 for t in mesh.iter(CORE + "triangle")
                             if all(int(t.get(k)) < len(vs) for k in ("v1", "v2", "v3")))
            for x, y, z in vs:
                p = [x * m[c] + y * m[3 + c] + z * m[6 + c] + m[9 + c] for c in range(3)]
                for c in range(3):
                    lo[c], hi[c] = min(lo[c], p[c]), max(hi[c], p[c])
        for c in o.iter(CORE + "component"):
            place(c.get(PROD_PATH) or partName, c.get("objectid"), then(matrix(c.get("transform")), m), depth + 1)

    _, root = part("3D/3dmodel.model")
    for item in root.iter(CORE + "item"):
        place(item.get(PROD_PATH) or "3D/3dmodel.model", item.get("objectid"), matrix(item.get("transform")), 1)
    print(f"{path}: {meshes} meshes, {triangles} triangles, box {lo} .. {hi}")


for p in sys.argv[1:]:
    main(p)
