#!/usr/bin/env python3
"""Writes the generated seed inputs of the 3MF fuzzers into the folders beside this script:
threemf_xml/ (model parts), threemf_numbers/ (attribute texts), threemf_package/ (ZIP packages,
hostile ones included), threemf_build/ (model parts joined by NUL bytes: the main part, then
3D/1.model, 3D/2.model...). Run it again after changing it; the output is deterministic."""

import os
import shutil
import stat
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORE = "http://schemas.microsoft.com/3dmanufacturing/core/2015/02"


def mesh(offset=0.0, vertex="vertex", triangle="triangle"):
    vs = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)]
    ts = [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)]
    out = "<vertices>"
    out += "".join(f'<{vertex} x="{x + offset:g}" y="{y}" z="{z}"/>' for x, y, z in vs)
    out += "</vertices><triangles>"
    out += "".join(f'<{triangle} v1="{a}" v2="{b}" v3="{c}"/>' for a, b, c in ts)
    return out + "</triangles>"


def model(meshes, extra=""):
    objects = "".join(f'<object id="{i + 1}" type="model"><mesh>{m}</mesh></object>' for i, m in enumerate(meshes))
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n<model unit="millimeter" xmlns="{CORE}" '
            f'xmlns:p="http://schemas.microsoft.com/3dmanufacturing/production/2015/06">'
            f"<resources>{objects}{extra}</resources><build/></model>\n")


def components(paths):
    refs = "".join(f'<component objectid="1" p:path="{p}"/>' for p in paths)
    return f'<object id="9" type="model"><components>{refs}</components></object>'


SHIFT = "1 0 0 0 1 0 0 0 1"


def placed(resources, items):
    """A model part whose resources are `resources` and whose build places `items`:
    (objectid, transform or None, path or None)."""
    build = ""
    for oid, transform, path in items:
        build += f'<item objectid="{oid}"' + (f' transform="{transform}"' if transform else "")
        build += (f' p:path="{path}"' if path else "") + "/>"
    return model([], resources).replace("<build/>", f"<build>{build}</build>")


def obj(oid, body):
    return f'<object id="{oid}" type="model">{body}</object>'


def comps(refs):
    """refs: (objectid, transform or None, path or None)."""
    out = "<components>"
    for oid, transform, path in refs:
        out += f'<component objectid="{oid}"' + (f' transform="{transform}"' if transform else "")
        out += (f' p:path="{path}"' if path else "") + "/>"
    return out + "</components>"


# Slicer-like builds: repeated items, components with transforms, parts of the package reached
# by path, a cycle, a mirror, nesting that doubles at each level.
BUILDS = {
    "nine_items": [placed(obj(1, f"<mesh>{mesh()}</mesh>") + obj(2, f"<mesh>{mesh(2)}</mesh>"),
                          [(1 + i % 2, f"{SHIFT} {10 * i} 0 0", None) for i in range(9)])],
    "cube_and_sphere": [placed(obj(1, f"<mesh>{mesh()}</mesh>") + obj(2, f"<mesh>{mesh(0.5)}</mesh>")
                               + obj(3, comps([(1, None, None), (2, f"{SHIFT} 0 0 10", None)])),
                               [(3, "0 1 0 -1 0 0 0 0 1 100 0 5", None)])],
    "across_parts": [placed(obj(1, comps([(5, f"{SHIFT} 1 0 0", "/3D/1.model")])),
                            [(1, None, None), (4, f"{SHIFT} 0 0 3", "/3D/2.model")]),
                     model([], obj(5, comps([(4, f"{SHIFT} 0 2 0", "/3D/2.model"), (6, None, None)]))
                               + obj(6, f"<mesh>{mesh(7)}</mesh>")),
                     model([], obj(4, f"<mesh>{mesh()}</mesh>"))],
    "cycle": [placed(obj(1, f"<mesh>{mesh()}</mesh>" + comps([(2, f"{SHIFT} 5 0 0", None)]))
                     + obj(2, comps([(1, None, None), (2, None, None), (9, None, "/3D/1.model")])),
                     [(1, None, None), (2, "-1 0 0 0 1 0 0 0 1 0 0 0", None)]),
              model([], obj(9, comps([(1, None, "/3D/3dmodel.model")])))],
    "doubling": [placed(obj(12, f"<mesh>{mesh()}</mesh>")
                        + "".join(obj(i, comps([(i + 1, None, None), (i + 1, f"{SHIFT} 1 0 0", None)]))
                                  for i in range(1, 12)), [(1, None, None)])],
}


XML = {
    "two_meshes.model": model([mesh(0), mesh(5)]),
    "cases.model": "<model><Mesh><VERTICES><Vertex x='1' y='2' z='3'/><vertex X='1' y='2' z='3'/></VERTICES>"
                   "<TRIANGLES><Triangle v1='0' v2='0' v3='0'/></TRIANGLES></Mesh></model>",
    "numbers.model": "<model><mesh><vertices><vertex x='1e2' y='-0x1.8p1' z='inf'/><vertex x=' 1' y='nan' z='.5'/>"
                     "<vertex x='1.17549435e-38' y='3.4028236e38' z='-1e-50'/></vertices><triangles>"
                     "<triangle v1='+7' v2='-0' v3='4294967295'/><triangle v1='-1' v2='4294967296' v3='0'/>"
                     "</triangles></mesh></model>",
    "components.model": model([], components(["/3D/a.model", "3D/b.model", "/../x.model", "/3D/c.MODEL"])),
    "prefixed.model": f'<m:model xmlns:m="{CORE}"><m:resources><m:object id="1"><m:mesh>'
                      + mesh(0, "m:vertex", "m:triangle") + "</m:mesh></m:object></m:resources></m:model>",
    "nested_meshes.model": "<model><vertices><mesh><vertex x='1' y='1' z='1'/><mesh>" + mesh(2)
                           + "</mesh></mesh></vertices></model>",
    "entities.model": "<!DOCTYPE model [<!ENTITY one '1'>]><model><mesh><vertices>"
                      "<vertex x='&one;' y='&#50;' z='&#x33;'/></vertices></mesh></model>",
    "utf16.model": model([mesh(0)]).replace("UTF-8", "UTF-16").encode("utf-16"),
    "placement.model": BUILDS["cube_and_sphere"][0],
    # What the plain reader takes on its own: a declaration, comments, references, white space to normalise.
    "plain.model": '\ufeff<?xml version="1.0" encoding="UTF-8"?>\r\n<!-- written by a slicer -->\r\n'
                   '<model unit="millimeter" xml:lang="en-US"><metadata name="Title">Gr\u00fc&amp;n ]</metadata>'
                   '<resources><object id="1" type="model"><mesh><vertices><vertex x="&#49;.5" y="-2\t" z=\'3e1\' />'
                   '<vertex x="0" y="0" z="0"/><vertex x="0" y="1" z="0"/></vertices><triangles >'
                   '<triangle v1="0" v2="1" v3="2"/></triangles></mesh></object></resources>'
                   '<build><item objectid="1" transform="1 0 0 0 1 0 0 0 1&#10;0 0 0"/></build></model >\n',
}
XML["truncated.model"] = XML["two_meshes.model"][: XML["two_meshes.model"].rfind("<triangles>")]

NUMBERS = ["0", "-0", "1e2", "45.00000", "+1.5", ".5", "5.", "0x1p3", "-0X1.8P1", "inf", "-Infinity", "nan",
           "NAN(123)", "1e50", "-1e-50", "1.40129846e-45", "3.4028235e38", "123456789.123456789", " 1", "1 ",
           "1e", "0x", "+7", "4294967295", "4294967296", "-1", "000000000004294967295"]


def write_zip(path, entries):
    """entries: (name, data, kind) with kind 'file', 'stored', 'dir' or 'link'."""
    with zipfile.ZipFile(path, "w") as z:
        for name, data, kind in entries:
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.create_system = 3
            if kind == "dir":
                info.external_attr = (stat.S_IFDIR | 0o755) << 16
            elif kind == "link":
                info.external_attr = (stat.S_IFLNK | 0o777) << 16
            else:
                info.external_attr = (stat.S_IFREG | 0o644) << 16
            info.compress_type = zipfile.ZIP_STORED if kind in ("stored", "dir", "link") else zipfile.ZIP_DEFLATED
            z.writestr(info, data)


MAIN = "3D/3dmodel.model"
PACKAGES = {
    "main_only.3mf": [("3D/", "", "dir"), (MAIN, model([mesh(0), mesh(3)]), "file")],
    "stored.3mf": [(MAIN, model([mesh(0)]), "stored")],
    "components.3mf": [(MAIN, model([], components(["/3D/part.model", "3D/part.model", "/3D/nested.model",
                                                    "/3D/missing.model"])), "file"),
                       ("3D/part.model", model([mesh(1)]), "file"),
                       ("3D/nested.model", model([mesh(2)], components(["/3D/part.model"])), "file")],
    "no_main.3mf": [("3D/other.model", model([mesh(0)]), "file")],
    "no_geometry.3mf": [(MAIN, model([]), "file")],
    "hostile.3mf": [("../escape.model", "x", "file"), ("/abs.model", "x", "file"), ("3D/../../up.model", "x", "file"),
                    ("link", "/tmp", "link"), ("link/through.model", "x", "file"), (MAIN, model([mesh(0)]), "file")],
    "main_is_link.3mf": [(MAIN, "/etc/hostname", "link")],
    "bomb.3mf": [(MAIN, model([mesh(0)]), "file"), ("zeros.bin", b"\0" * (1 << 20), "file")],
    "placed.3mf": [(MAIN if i == 0 else f"3D/{i}.model", part, "file") for i, part in enumerate(BUILDS["across_parts"])],
}


def reset(folder):
    path = os.path.join(HERE, folder)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def main():
    xml_dir = reset("threemf_xml")
    for name, text in XML.items():
        with open(os.path.join(xml_dir, name), "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode())
    number_dir = reset("threemf_numbers")
    for i, text in enumerate(NUMBERS):
        with open(os.path.join(number_dir, f"n{i:02d}"), "w") as f:
            f.write(text)
    package_dir = reset("threemf_package")
    for name, entries in PACKAGES.items():
        write_zip(os.path.join(package_dir, name), entries)
    with open(os.path.join(package_dir, "not_a_zip.3mf"), "w") as f:
        f.write(model([mesh(0)]))
    build_dir = reset("threemf_build")
    for name, parts in BUILDS.items():
        with open(os.path.join(build_dir, name), "wb") as f:
            f.write(b"\0".join(part.encode() for part in parts))


if __name__ == "__main__":
    main()
