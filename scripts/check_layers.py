#!/usr/bin/env python3
"""Checks that the folders of src/ include one another only downwards.

Each folder may include its own headers, the texts module and the folders listed for it
below; anything else is a layering fault. Usage: check_layers.py [SOURCE_DIR]; with
--self-test it first checks that a planted upward include is found.
"""
import pathlib
import re
import sys
import tempfile

# Bottom to top: a folder may include the folders listed for it, never one above it.
ALLOWED = {
    "platform": set(),
    "runtime": {"platform"},
    "logging": {"runtime", "platform"},
    "settings": {"logging", "runtime", "platform"},
    # TLS: the user's authority, minted certificates, the origins' verification.
    "tls": {"logging", "settings", "runtime", "platform"},
    "engine": {"tls", "logging", "settings", "runtime", "platform"},
    "checker": {"engine", "tls", "logging", "settings", "runtime", "platform"},
    "browser": {"logging", "settings", "runtime", "platform"},
    "lifecycle": {"checker", "browser", "engine", "tls", "logging", "settings", "runtime",
                  "platform"},
    # The window and the programs' entries; only the window's own entry includes ui/.
    "ui": {"lifecycle", "checker", "browser", "engine", "tls", "logging", "settings", "runtime",
           "platform"},
    "app": {"lifecycle", "checker", "browser", "engine", "tls", "logging", "settings", "runtime",
            "platform", "ui"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def faults(source_dir):
    src = pathlib.Path(source_dir) / "src"
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(src).parts[0]
        allowed = ALLOWED.get(folder)
        if allowed is None:
            yield f"{path}: the folder src/{folder} has no row in the layering table"
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) != folder and match.group(1) not in allowed:
                yield f"{path}:{number}: src/{folder} may not include {match.group(1)}/"


def self_test():
    with tempfile.TemporaryDirectory() as top:
        planted = pathlib.Path(top) / "src" / "engine" / "planted.cpp"
        planted.parent.mkdir(parents=True)
        planted.write_text('#include "engine/listener.h"\n#include "ui/main_window.h"\n')
        found = list(faults(top))
        if len(found) != 1 or "may not include ui/" not in found[0]:
            print("self-test: the planted include from engine/ into ui/ was not found:", found)
            return False
    return True


def main():
    args = [a for a in sys.argv[1:] if a != "--self-test"]
    if "--self-test" in sys.argv and not self_test():
        return 1
    found = list(faults(args[0] if args else "."))
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
