#!/usr/bin/env python3
"""Writes samples/trefoil-knot.stl: a trefoil knot tube as a binary STL, z up."""
import math, struct, sys

def knot(t):
    return (math.sin(t) + 2 * math.sin(2 * t), math.cos(t) - 2 * math.cos(2 * t), -math.sin(3 * t))

def sub(a, b): return tuple(x - y for x, y in zip(a, b))
def cross(a, b): return (a[1]*b[2]-a[2]*b[1], a[2]*b[0]-a[0]*b[2], a[0]*b[1]-a[1]*b[0])
def norm(a):
    l = math.sqrt(sum(x * x for x in a)) or 1.0
    return tuple(x / l for x in a)

def main(path, rings=240, sides=16, radius=0.45):
    grid = []
    for i in range(rings):
        t = 2 * math.pi * i / rings
        p, q = knot(t), knot(t + 1e-3)
        tangent = norm(sub(q, p))
        n = norm(cross(tangent, (0, 0, 1)))
        b = cross(tangent, n)
        grid.append([tuple(p[k] + radius * (math.cos(2*math.pi*j/sides) * n[k] + math.sin(2*math.pi*j/sides) * b[k])
                           for k in range(3)) for j in range(sides)])
    tris = []
    for i in range(rings):
        for j in range(sides):
            a, b2 = grid[i][j], grid[(i + 1) % rings][j]
            c, d = grid[(i + 1) % rings][(j + 1) % sides], grid[i][(j + 1) % sides]
            tris += [(a, b2, c), (a, c, d)]
    with open(path, "wb") as f:
        f.write(b"Trimeo sample: trefoil knot".ljust(80, b" "))
        f.write(struct.pack("<I", len(tris)))
        for t in tris:
            f.write(struct.pack("<3f", *norm(cross(sub(t[1], t[0]), sub(t[2], t[0])))))
            for v in t:
                f.write(struct.pack("<3f", *v))
            f.write(b"\0\0")

if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/trefoil-knot.stl")
