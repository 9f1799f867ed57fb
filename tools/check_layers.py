#!/usr/bin/env python3
"""Checks that every #include of the core and its tests follows the layers.

Each folder of src/core is one layer. A file in a layer may include its own
layer's headers and the headers of the layers the table below lets it use,
directly or through another allowed layer (the closure). tests/core/<layer>/
follows the layer it tests, and may include the shared test helpers beside it
(tests/core/*.h). docs/architecture.md shows the same table.

Usage (from the repository root): python3 tools/check_layers.py
Exits 1 and names each offending line when an include goes against the table.
"""
import os
import re
import sys

# layer: the layers it may use directly. Order: lowest first.
LAYERS = {
    "util": [],
    "command": [],
    "charcode": ["util"],
    "resources": ["command", "util"],
    "io": ["util"],
    "settings": ["io", "resources", "util"],
    "host": ["util"],
    "dump": ["charcode", "resources", "util"],
    "document": ["io", "dump", "settings", "host", "command", "resources"],
    "search": ["io", "charcode", "util"],
    "compare": ["io", "charcode", "util"],
    "picture": ["io", "host", "util"],
    "view": ["document", "dump", "settings", "host", "command", "charcode"],
    "commands": ["view", "document", "search", "compare", "picture"],
    "app": ["commands"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def closure(layer):
    seen, todo = set(), [layer]
    while todo:
        for dep in LAYERS[todo.pop()]:
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen | {layer}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    allowed = {layer: closure(layer) for layer in LAYERS}
    errors = []
    checked = 0
    for base, is_test in (("src/core", False), ("tests/core", True)):
        top = os.path.join(root, base)
        for folder, _, files in os.walk(top):
            rel = os.path.relpath(folder, top)
            layer = rel.split(os.sep)[0]
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(base, rel, name) if rel != "." else os.path.join(base, name)
                if rel == ".":
                    if not is_test:
                        errors.append("%s: a core file outside every layer" % path)
                        continue
                    layer = None  # shared test helpers: any layer
                elif layer not in LAYERS:
                    errors.append("%s: folder '%s' is no layer of the table" % (path, layer))
                    continue
                checked += 1
                with open(os.path.join(root, path), encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        head = target.split("/")[0]
                        if "/" not in target or head not in LAYERS:
                            continue  # a test helper or a header of the same folder
                        if layer is not None and head not in allowed[layer]:
                            errors.append('%s:%d: layer %s may not include "%s"'
                                          % (path, number, layer, target))
    for e in errors:
        print("check_layers: " + e)
    if errors:
        return 1
    print("check_layers: %d files follow the layers" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main())
