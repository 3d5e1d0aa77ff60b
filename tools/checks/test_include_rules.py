#!/usr/bin/env python3
"""The include check on a made-up tree: which includes break the rule and which do not."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import include_rules  # noqa: E402

FILES = {
    "src/base/clock.h": "#pragma once\n",
    "src/game/rules.cpp": '#include "game/rules.h"\n#include "base/clock.h"\n',
    "src/game/rules.h": '#include "base/clock.h"\n',
    "src/game/ports/sound_port.h": '#include "base/clock.h"\n',
    # An adapter reaching into the game's own headers: the fault the check exists for.
    "src/platform/sound/adapter.cpp": '#include "game/rules.h"\n#include "game/ports/sound_port.h"\n',
    "src/platform/sound/adapter.h": '#include "game/ports/sound_port.h"\n#include "other/thing.h"\n',
    # Through a link of a link is allowed; a header beside the file found by its own folder too.
    "src/top/main.cpp": '#include "platform/sound/adapter.h"\n#include "base/clock.h"\n#include "local.h"\n',
    "src/top/local.h": "#pragma once\n",
    "src/other/thing.h": "#pragma once\n",
}


def target(root, folder, sources, deps, kind="STATIC_LIBRARY"):
    return {"dir": os.path.join(root, folder), "sources": [os.path.join(root, s) for s in sources],
            "deps": deps, "kind": kind}


def main():
    with tempfile.TemporaryDirectory() as root:
        for path, text in FILES.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        targets = {
            "base": target(root, "src/base", [], []),
            "game": target(root, "src/game", ["src/game/rules.cpp"], ["base", "ports"]),
            "ports": target(root, "src/game", ["src/game/ports/sound_port.h"], ["base"],
                            "INTERFACE_LIBRARY"),
            "other": target(root, "src/other", [], []),
            "adapter": target(root, "src/platform/sound", ["src/platform/sound/adapter.cpp"],
                              ["ports"]),
            "main": target(root, "src/top", ["src/top/main.cpp"], ["adapter", "game"],
                           "EXECUTABLE"),
        }
        found = sorted((os.path.relpath(s, root), inc, name)
                       for s, inc, _, name in include_rules.violations(root, targets))
        expected = [
            ("src/platform/sound/adapter.cpp", "game/rules.h", "adapter"),
            ("src/platform/sound/adapter.h", "other/thing.h", "adapter"),
        ]
        if found != expected:
            print(f"include check found {found}, expected {expected}", file=sys.stderr)
            return 1
        # Linking the missing library mends both.
        targets["adapter"]["deps"] += ["game", "other"]
        rest = list(include_rules.violations(root, targets))
        if rest:
            print(f"include check still finds {rest} once the links are there", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
