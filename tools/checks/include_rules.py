#!/usr/bin/env python3
"""Fails when a source file includes a header of a library its target does not link.

Every target exports src/ as its include folder, so the compiler finds any header; this check
makes the links the only way in. It reads the targets, their sources, folders and link
dependencies from CMake's file API (codemodel-v2) in a configured build folder, and the quoted
includes of every source file. A header belongs to the targets defined in the nearest folder above
it that defines one; a source may include it when one of those targets is its own or one it links,
directly or through others.
Usage: include_rules.py BUILD_DIR   (the build folder must have been configured after the query
file .cmake/api/v1/query/codemodel-v2 was created; `--query BUILD_DIR` creates it).
"""
import json
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def load_model(build_dir):
    """Returns (source_root, {name: {"dir": abs folder, "sources": [abs], "deps": [names]}})."""
    reply = os.path.join(build_dir, ".cmake", "api", "v1", "reply")
    index = sorted(f for f in os.listdir(reply) if f.startswith("index-"))[-1]
    with open(os.path.join(reply, index)) as f:
        codemodel = json.load(f)["reply"]["codemodel-v2"]["jsonFile"]
    with open(os.path.join(reply, codemodel)) as f:
        model = json.load(f)
    root = model["paths"]["source"]
    config = model["configurations"][0]
    by_id = {}
    targets = {}
    for ref in config["targets"]:
        with open(os.path.join(reply, ref["jsonFile"])) as f:
            t = json.load(f)
        by_id[t["id"]] = t["name"]
        targets[t["name"]] = t
    result = {}
    for name, t in targets.items():
        if t["type"] == "UTILITY":
            continue
        result[name] = {
            "dir": os.path.normpath(os.path.join(root, t["paths"]["source"])),
            "sources": [os.path.normpath(os.path.join(root, s["path"])) for s in t.get("sources", [])
                        if not s.get("isGenerated")],
            "deps": [by_id[d["id"]] for d in t.get("dependencies", []) if d["id"] in by_id],
            "kind": t["type"],
        }
    # CMake's file API names no links of an INTERFACE target; the build writes them beside it.
    links = os.path.join(build_dir, "interface_links")
    for entry in os.listdir(links) if os.path.isdir(links) else []:
        name = entry[:-len(".txt")]
        if entry.endswith(".txt") and name in result:
            with open(os.path.join(links, entry)) as f:
                result[name]["deps"] += [d for d in f.read().strip().split(";") if d in result]
    return root, result


def violations(root, targets, read=lambda p: open(p, encoding="utf-8", errors="replace").read()):
    """Yields (source, included header, owner targets, including target) for every breach."""
    include_root = os.path.join(root, "src")
    folders = {}
    for name, t in targets.items():
        # A header-only target owns the headers it lists, not its whole folder.
        if t.get("kind") != "INTERFACE_LIBRARY":
            folders.setdefault(t["dir"], set()).add(name)

    # A header listed as a source of a target (the ports' header-only target lists its headers)
    # belongs to the targets listing it; any other header to the targets of its folder.
    listed = {}
    for name, t in targets.items():
        for source in t["sources"]:
            if source.endswith(".h"):
                listed.setdefault(source, set()).add(name)

    def owners(header):
        if header in listed:
            return listed[header]
        folder = os.path.dirname(header)
        while folder.startswith(include_root):
            if folder in folders:
                return folders[folder]
            folder = os.path.dirname(folder)
        return set()

    def reach(name, seen=None):
        seen = set() if seen is None else seen
        if name in seen or name not in targets:
            return seen
        seen.add(name)
        for d in targets[name]["deps"]:
            reach(d, seen)
        return seen

    # Headers are seldom listed as sources: each one counts as a source of the targets that own it.
    files = {name: set(t["sources"]) for name, t in targets.items()}
    for folder, names in folders.items():
        if not folder.startswith(include_root):
            continue
        for entry in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            path = os.path.join(folder, entry)
            if entry.endswith(".h") and path not in listed:
                for name in names:
                    if targets[name].get("kind") != "OBJECT_LIBRARY":
                        files[name].add(path)

    # A header scanned for several targets of one folder breaks the rule only when none may include
    # what it includes.
    found = {}
    for name, t in sorted(targets.items()):
        allowed = reach(name)
        for source in sorted(files[name]):
            if not source.endswith((".cpp", ".h", ".c")):
                continue
            try:
                text = read(source)
            except OSError:
                continue
            for inc in INCLUDE.findall(text):
                beside = os.path.normpath(os.path.join(os.path.dirname(source), inc))
                under_src = os.path.normpath(os.path.join(include_root, inc))
                header = beside if os.path.exists(beside) else under_src
                if not header.startswith(include_root + os.sep):
                    continue
                own = owners(header)
                ok = not own or own & allowed or any(targets[o]["dir"] == t["dir"] for o in own)
                entry = found.setdefault((source, inc), [True, sorted(own), []])
                if ok:
                    entry[0] = False
                else:
                    entry[2].append(name)
    for (source, inc), (bad, own, names) in sorted(found.items()):
        if bad and names:
            yield source, inc, own, names[0]


def main(argv):
    if len(argv) == 3 and argv[1] == "--query":
        q = os.path.join(argv[2], ".cmake", "api", "v1", "query")
        os.makedirs(q, exist_ok=True)
        open(os.path.join(q, "codemodel-v2"), "a").close()
        return 0
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root, targets = load_model(argv[1])
    found = list(violations(root, targets))
    for source, inc, own, name in found:
        print(f"{os.path.relpath(source, root)}: includes \"{inc}\" of {', '.join(own)}, "
              f"which {name} does not link", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
