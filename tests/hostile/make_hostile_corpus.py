#!/usr/bin/env python3
"""Writes the hostile-file corpus: small valid models of every format the loader routes
("valid_*", which must load), every one of them cut short ("truncated_*"), and files built
to make a reader allocate, loop or recurse without end ("hostile_*"). Every file must give
an error or a model; the extension chooses the route.

usage: make_hostile_corpus.py OUT_DIR"""
import base64
import json
import os
import struct
import sys
import zipfile
import zlib
import io

CUBE_V = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
CUBE_F = [(0, 2, 1), (0, 3, 2), (4, 5, 6), (4, 6, 7), (0, 1, 5), (0, 5, 4),
          (1, 2, 6), (1, 6, 5), (2, 3, 7), (2, 7, 6), (3, 0, 4), (3, 4, 7)]


def stl_ascii():
    out = ["solid cube"]
    for f in CUBE_F:
        out.append(" facet normal 0 0 0\n  outer loop")
        out += ["   vertex %g %g %g" % CUBE_V[i] for i in f]
        out.append("  endloop\n endfacet")
    out.append("endsolid cube\n")
    return "\n".join(out).encode()


def stl_binary(count=None, triangles=None):
    tris = CUBE_F if triangles is None else triangles
    body = b"".join(struct.pack("<3f", 0, 0, 0) + b"".join(struct.pack("<3f", *CUBE_V[i]) for i in f) + b"\0\0"
                    for f in tris)
    return b"binary cube".ljust(80, b"\0") + struct.pack("<I", len(tris) if count is None else count) + body


def obj():
    return ("".join("v %g %g %g\n" % v for v in CUBE_V) +
            "".join("f %d %d %d\n" % tuple(i + 1 for i in f) for f in CUBE_F)).encode()


def ply_ascii(vertices=None, faces=None, face_list=None):
    head = "ply\nformat ascii 1.0\nelement vertex %s\nproperty float x\nproperty float y\nproperty float z\n" \
           "element face %s\nproperty list uchar int vertex_indices\nend_header\n" % (
               len(CUBE_V) if vertices is None else vertices, len(CUBE_F) if faces is None else faces)
    body = "".join("%g %g %g\n" % v for v in CUBE_V)
    body += face_list if face_list is not None else "".join("3 %d %d %d\n" % f for f in CUBE_F)
    return (head + body).encode()


def ply_binary(vertices=None, faces=None, list_type="uchar"):
    head = ("ply\nformat binary_little_endian 1.0\nelement vertex %s\nproperty float x\nproperty float y\n"
            "property float z\nelement face %s\nproperty list %s int vertex_indices\nend_header\n" % (
                len(CUBE_V) if vertices is None else vertices, len(CUBE_F) if faces is None else faces,
                list_type)).encode()
    body = b"".join(struct.pack("<3f", *v) for v in CUBE_V)
    count = {"uchar": "<B", "uint": "<I"}[list_type]
    body += b"".join(struct.pack(count, 3) + struct.pack("<3i", *f) for f in CUBE_F)
    return head + body


def collada(nodes="<node id=\"cube\" name=\"cube\"><instance_geometry url=\"#mesh\"/></node>"):
    positions = " ".join("%g %g %g" % v for v in CUBE_V)
    indices = " ".join("%d %d %d" % f for f in CUBE_F)
    return ("""<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><up_axis>Y_UP</up_axis></asset>
<library_geometries><geometry id="mesh"><mesh>
<source id="pos"><float_array id="pos-a" count="24">%s</float_array>
<technique_common><accessor source="#pos-a" count="8" stride="3">
<param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
</accessor></technique_common></source>
<vertices id="verts"><input semantic="POSITION" source="#pos"/></vertices>
<triangles count="12"><input semantic="VERTEX" source="#verts" offset="0"/><p>%s</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="scene">%s</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
""" % (positions, indices, nodes)).encode()


def gltf_parts(count=8, index_count=36, byte_offset=0, view_offset=0, view_length=None, stride=None):
    positions = b"".join(struct.pack("<3f", *v) for v in CUBE_V)
    indices = b"".join(struct.pack("<3H", *f) for f in CUBE_F)
    binary = positions + indices
    position_view = {"buffer": 0, "byteOffset": view_offset, "byteLength": len(positions) if view_length is None
                     else view_length}
    if stride is not None:
        position_view["byteStride"] = stride
    doc = {
        "asset": {"version": "2.0"},
        "buffers": [{"byteLength": len(binary)}],
        "bufferViews": [position_view, {"buffer": 0, "byteOffset": len(positions), "byteLength": len(indices)}],
        "accessors": [
            {"bufferView": 0, "byteOffset": byte_offset, "componentType": 5126, "count": count, "type": "VEC3"},
            {"bufferView": 1, "componentType": 5123, "count": index_count, "type": "SCALAR"}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
        "nodes": [{"mesh": 0}], "scenes": [{"nodes": [0]}], "scene": 0,
    }
    return doc, binary


def gltf_text(doc, binary):
    doc["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64.b64encode(binary).decode()
    return json.dumps(doc).encode()


def glb(json_bytes, binary, json_length=None, total_length=None):
    json_bytes += b" " * (-len(json_bytes) % 4)
    binary += b"\0" * (-len(binary) % 4)
    chunks = struct.pack("<II", len(json_bytes) if json_length is None else json_length, 0x4E4F534A) + json_bytes
    chunks += struct.pack("<II", len(binary), 0x004E4942) + binary
    return struct.pack("<III", 0x46546C67, 2, 12 + len(chunks) if total_length is None else total_length) + chunks


def model_xml(inner=None):
    if inner is None:
        inner = ("<mesh><vertices>" +
                 "".join('<vertex x="%g" y="%g" z="%g"/>' % v for v in CUBE_V) + "</vertices><triangles>" +
                 "".join('<triangle v1="%d" v2="%d" v3="%d"/>' % f for f in CUBE_F) + "</triangles></mesh>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<model unit="millimeter" '
            'xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"><resources>'
            '<object id="1" type="model">%s</object></resources><build><item objectid="1"/></build></model>'
            % inner).encode()


def placing(objects, last, mesh=True):
    """A main part whose build places object 1 of `objects`; object `last` holds the cube
    (or nothing)."""
    cube = model_xml().decode()
    body = cube[cube.index("<mesh>"):cube.index("</mesh>") + len("</mesh>")] if mesh else ""
    return model_xml(body).replace(b'<object id="1" type="model">',
                                   (objects + '<object id="%d" type="model">' % last).encode())


def package(model, prolog=b""):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types/>')
        z.writestr("3D/3dmodel.model", prolog + model)
    return out.getvalue()


def claiming_zip(name, data, claimed):
    """A stored ZIP entry whose local and central headers claim `claimed` bytes (a ZIP64
    extra field when that needs more than 32 bits) while the archive holds only `data`."""
    crc = zlib.crc32(data)
    name = name.encode()
    zip64 = claimed >= 0xFFFFFFFF
    size32 = 0xFFFFFFFF if zip64 else claimed
    local_extra = struct.pack("<HHQQ", 1, 16, claimed, len(data)) if zip64 else b""
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0, crc, len(data) if not zip64 else 0xFFFFFFFF,
                        size32, len(name), len(local_extra)) + name + local_extra + data
    central_extra = struct.pack("<HHQQ", 1, 16, claimed, len(data)) if zip64 else b""
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0, crc,
                          len(data) if not zip64 else 0xFFFFFFFF, size32, len(name), len(central_extra), 0, 0, 0,
                          0, 0) + name + central_extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


def usd_composition_bombs():
    """USD layers that name each other: each level ten times the last, a chain longer than
    any arc depth, a heavy mesh referenced a thousand times, and cycles."""
    layers = {}
    mesh = b'def Mesh "M" { point3f[] points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)] ' \
           b'int[] faceVertexCounts = [3] int[] faceVertexIndices = [0, 1, 2] }\n'
    for k in range(9):
        kids = b"".join(b'def Xform "C%d" ( references = @usd_fanout_%d.usda@ ) { }\n' % (i, k + 1)
                        for i in range(10)) if k < 8 else mesh
        name = "hostile_usd_fanout.usda" if k == 0 else "usd_fanout_%d.usda" % k
        layers[name] = b'#usda 1.0\n( defaultPrim = "P" )\ndef Xform "P" {\n' + kids + b"}\n"
    for k in range(100):
        name = "hostile_usd_arc_chain.usda" if k == 0 else "usd_chain_%d.usda" % k
        layers[name] = b'#usda 1.0\n( defaultPrim = "P" )\ndef Xform "P" ( references = @usd_chain_%d.usda@ ) ' \
                       b'{ %s }\n' % (k + 1, mesh)
    points = b", ".join(b"(%d, %d, 0)" % (i, i % 7) for i in range(100000))
    layers["usd_heavy_mesh.usda"] = b'#usda 1.0\n( defaultPrim = "M" )\ndef Mesh "M" { point3f[] points = [' + \
        points + b'] int[] faceVertexCounts = [3] int[] faceVertexIndices = [0, 1, 2] }\n'
    layers["hostile_usd_reference_bomb.usda"] = b"#usda 1.0\n" + b"".join(
        b'def Xform "R%d" ( references = @usd_heavy_mesh.usda@ ) { }\n' % i for i in range(1000))
    layers["hostile_usd_cycles.usda"] = b'#usda 1.0\n( subLayers = [@hostile_usd_cycles.usda@] ' \
        b'defaultPrim = "A" )\ndef Xform "A" ( references = [</A>, @hostile_usd_cycles.usda@, </B>] ) { }\n' \
        b'def Xform "B" ( inherits = </A>  references = @hostile_usd_cycles.usda@ ) { %s }\n' % mesh
    return layers


def write_sparse(out, name, head, size):
    """A file of `size` bytes that begins with `head` and takes no disk beyond it."""
    with open(os.path.join(out, name), "wb") as f:
        f.write(head)
        f.truncate(size)


def write(out, name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for old in os.listdir(out):
        os.remove(os.path.join(out, old))

    doc, binary = gltf_parts()
    usda = (b'#usda 1.0\ndef Mesh "cube" {\n point3f[] points = [' +
            ", ".join("(%g, %g, %g)" % v for v in CUBE_V).encode() +
            b']\n int[] faceVertexCounts = [' + b", ".join(b"3" for _ in CUBE_F) +
            b']\n int[] faceVertexIndices = [' + ", ".join("%d, %d, %d" % f for f in CUBE_F).encode() + b']\n}\n')
    valid = {
        "valid_cube.stl": stl_ascii(),
        "valid_cube_binary.stl": stl_binary(),
        "valid_cube.obj": obj(),
        "valid_cube.ply": ply_ascii(),
        "valid_cube_binary.ply": ply_binary(),
        "valid_cube.dae": collada(),
        "valid_cube.gltf": gltf_text(dict(doc), binary),
        "valid_cube.glb": glb(json.dumps(doc).encode(), binary),
        "valid_cube.3mf": package(model_xml()),
    }
    for name, data in valid.items():
        write(out, name, data)

    # Formats nothing here reads in full still deserve their cut-off forms.
    others = dict(valid)
    others["cube.usda"] = usda
    others["cube.usdz"] = package(usda)
    others["cube.fbx"] = b"Kaydara FBX Binary  \0\x1a\0" + struct.pack("<I", 7400) + struct.pack("<III", 1000, 5, 1)
    others["cube.abc"] = b"Ogawa\xff\x00\x01" + struct.pack("<Q", 1 << 40) + b"\0" * 16
    for name, data in others.items():
        stem, ext = name.replace("valid_", "").rsplit(".", 1)
        for cut in sorted({5, len(data) // 3, 2 * len(data) // 3, len(data) - 1}):
            write(out, "truncated_%s_at_%d.%s" % (stem, cut, ext), data[:cut])

    hostile = {
        # Counts of 2^31 and more over a buffer of a few bytes.
        "hostile_stl_count_2g.stl": stl_binary(count=1 << 31, triangles=CUBE_F[:1]),
        "hostile_stl_count_4g.stl": stl_binary(count=0xFFFFFFFF, triangles=CUBE_F[:1]),
        "hostile_ply_vertices_2g.ply": ply_binary(vertices=1 << 31),
        "hostile_ply_faces_4g.ply": ply_binary(faces=0xFFFFFFFF),
        "hostile_ply_ascii_counts_4g.ply": ply_ascii(vertices=0xFFFFFFFF, faces=0xFFFFFFFF),
        "hostile_ply_list_length_4g.ply": ply_binary(list_type="uint")[:-12 * 16] +
        struct.pack("<I", 0xFFFFFFFF) + b"\0" * 12,
        "hostile_obj_indices_2g.obj": obj() + b"f 2147483648 -2147483649 4294967296\nf 1 2 99999999999999999999\n",
        "hostile_gltf_count_2g.gltf": gltf_text(*gltf_parts(count=1 << 31, index_count=1 << 31)),
        "hostile_gltf_count_2e64.gltf": gltf_text(*gltf_parts(count=18446744073709551615,
                                                              index_count=18446744073709551615)),
        "hostile_gltf_count_negative.gltf": gltf_text(*gltf_parts(count=-1, index_count=-8)),
        "hostile_gltf_count_float.gltf": gltf_text(*gltf_parts(count=1e300, index_count=1e19)),
        "hostile_glb_count_2g.glb": glb(json.dumps(gltf_parts(count=1 << 31)[0]).encode(), binary),
        # Offsets and lengths whose sums overflow 32 and 64 bits.
        "hostile_gltf_offset_2e64.gltf": gltf_text(*gltf_parts(byte_offset=18446744073709551600,
                                                               view_offset=18446744073709551600)),
        "hostile_gltf_view_wraps.gltf": gltf_text(*gltf_parts(view_offset=16, view_length=18446744073709551608)),
        "hostile_gltf_stride_huge.gltf": gltf_text(*gltf_parts(stride=4294967295, count=4)),
        "hostile_gltf_offset_2e63.gltf": gltf_text(*gltf_parts(byte_offset=9223372036854775807)),
        "hostile_glb_json_length_4g.glb": glb(json.dumps(doc).encode(), binary, json_length=0xFFFFFFF8),
        "hostile_glb_total_length_4g.glb": glb(json.dumps(doc).encode(), binary, total_length=0xFFFFFFFF),
        # Ten bytes of text that cost the JSON tree hundreds: past the value limit.
        "hostile_gltf_millions_of_objects.gltf": b'{"meshes":[' + b",".join([b"{}"] * 10000000) + b"]}",
        # Nesting far deeper than any model needs.
        "hostile_gltf_nested_arrays.gltf": b'{"meshes":' + b"[" * 100000 + b"]" * 100000 + b"}",
        "hostile_gltf_nested_objects.gltf": b'{"a":' * 50000 + b"1" + b"}" * 50000,
        "hostile_gltf_nested_unclosed.gltf": b'{"meshes":' + b"[" * 200000,
        "hostile_glb_nested_arrays.glb": glb(b'{"meshes":' + b"[" * 100000 + b"]" * 100000 + b"}", binary),
        "hostile_3mf_nested_xml.3mf": package(model_xml("<a>" * 100000 + "</a>" * 100000)),
        "hostile_3mf_nested_unclosed.3mf": package(model_xml("<a>" * 200000)),
        "hostile_dae_nested_nodes.dae": collada("<node>" * 20000 + "</node>" * 20000),
        "hostile_dae_nested_unclosed.dae": collada("<node>" * 100000),
        "hostile_3mf_entity_expansion.3mf": package(
            model_xml("&l9;"), b'<!DOCTYPE model [<!ENTITY l0 "lol">' + b"".join(
                b'<!ENTITY l%d "%s">' % (i, b"&l%d;" % (i - 1) * 10) for i in range(1, 10)) + b"]>\n"),
        # ZIP entries that claim gigabytes they do not hold.
        "hostile_3mf_claims_4g.3mf": claiming_zip("3D/3dmodel.model", model_xml(), 0xFFFFFFFE),
        "hostile_3mf_claims_1t.3mf": claiming_zip("3D/3dmodel.model", model_xml(), 1 << 40),
        "hostile_usdz_claims_1t.usdz": claiming_zip("cube.usda", usda, 1 << 40),
        # Builds that would place far more than they hold: each object holding the next one
        # twice (2^40 meshes), ten thousand objects holding ten thousand empty ones each, and
        # components nested 100000 deep.
        "hostile_3mf_doubling_components.3mf": package(placing(
            "".join('<object id="%d"><components><component objectid="%d"/><component objectid="%d"/>'
                    '</components></object>' % (i, i + 1, i + 1) for i in range(1, 41)), 41)),
        "hostile_3mf_wide_components.3mf": package(placing(
            "".join('<object id="%d"><components>%s</components></object>'
                    % (i, '<component objectid="%d"/>' % (i + 1) * 10000) for i in range(1, 3)), 3, mesh=False)),
        "hostile_3mf_deep_components.3mf": package(placing(
            "".join('<object id="%d"><components><component objectid="%d" transform="1 0 0 0 1 0 0 0 1 1 0 0"/>'
                    '</components></object>' % (i, i + 1) for i in range(1, 100001)), 100001)),
        # A real deflate bomb, small enough to unpack in CI: 64 MiB of blanks in a model part.
        "hostile_3mf_blank_bomb.3mf": package(model_xml(" " * (64 << 20))),
    }
    for name, data in hostile.items():
        write(out, name, data)
    for name, data in usd_composition_bombs().items():
        write(out, name, data)
    for ext in ["stl", "obj", "ply", "dae", "gltf", "glb", "3mf", "fbx", "usdz", "abc", "scn", "vdb"]:
        write(out, "empty." + ext, b"")
    # Larger than memory: zeros of every format, which are refused before any reader walks
    # them, and headers whose counts ask for more memory than any machine here has.
    for ext in ["stl", "obj", "ply", "dae", "gltf", "glb", "3mf", "fbx", "usd", "usda", "usdc", "usdz", "abc"]:
        write_sparse(out, "huge_zeros_40g." + ext, b"", 40 << 30)
    write_sparse(out, "huge_stl_4g_facets.stl", stl_binary(count=0xFFFFFFFF, triangles=[]), 84 + 50 * 0xFFFFFFFF)
    write_sparse(out, "huge_ply_1t_vertices.ply", ply_binary(vertices=(1 << 40) // 12, faces=0)[:-(8 * 12 + 12 * 13)],
                 1 << 40)


if __name__ == "__main__":
    main()
