#!/usr/bin/env python3
"""Checks that the folders of src/ depend on one another only downwards.

Each folder may include its own headers, the texts module and the folders listed for it
below; anything else is a layering fault. The same holds for the types a folder names
without an include: a forward declaration of a type, or a korvanel::-qualified use of it,
that only a folder it may not include defines is a fault too. Usage: check_layers.py
[SOURCE_DIR]; with --self-test it first checks that a planted upward include and a planted
forward declaration are found.
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
# A type's definition in a header: "class Name {", "struct Name final : Base", "enum class
# Name : char {".
DEFINITION = re.compile(r'^\s*(?:class|struct|enum\s+class|enum)\s+(\w+)\s*(?:final\s*)?[:{]')
FORWARD = re.compile(r'^\s*(?:class|struct|enum\s+class|enum)\s+(\w+)\s*(?::\s*\w+\s*)?;')
QUALIFIED = re.compile(r'\bkorvanel::(\w+)')


def sources(src):
    for path in sorted(src.rglob("*")):
        if path.suffix in (".h", ".cpp"):
            yield path, path.relative_to(src).parts[0]


def definitions(src):
    """Each type name defined in a header, with the folders that define it."""
    found = {}
    for path, folder in sources(src):
        if path.suffix != ".h":
            continue
        for line in path.read_text(encoding="utf-8").splitlines():
            match = DEFINITION.match(line)
            if match:
                found.setdefault(match.group(1), set()).add(folder)
    return found


def faults(source_dir):
    src = pathlib.Path(source_dir) / "src"
    defined = definitions(src)
    for path, folder in sources(src):
        allowed = ALLOWED.get(folder)
        if allowed is None:
            yield f"{path}: the folder src/{folder} has no row in the layering table"
            continue
        reachable = allowed | {folder}
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) not in reachable:
                yield f"{path}:{number}: src/{folder} may not include {match.group(1)}/"
            names = QUALIFIED.findall(line)
            forward = FORWARD.match(line)
            if forward:
                names.append(forward.group(1))
            for name in names:
                owners = defined.get(name)
                if owners and not owners & reachable:
                    owner = sorted(owners)[0]
                    yield f"{path}:{number}: src/{folder} may not name {name} of {owner}/"


def self_test():
    with tempfile.TemporaryDirectory() as top:
        src = pathlib.Path(top) / "src"
        for folder in ("engine", "runtime", "ui"):
            (src / folder).mkdir(parents=True)
        (src / "engine" / "loop.h").write_text("class Loop final {\n};\n")
        (src / "engine" / "planted.cpp").write_text(
            '#include "engine/loop.h"\n#include "ui/main_window.h"\n')
        (src / "runtime" / "planted.h").write_text(
            "class Loop;\nstruct Owner {\n    korvanel::Loop* loop;\n};\n")
        found = list(faults(top))
        expected = ["src/engine/planted.cpp:2: src/engine may not include ui/",
                    "src/runtime/planted.h:1: src/runtime may not name Loop of engine/",
                    "src/runtime/planted.h:3: src/runtime may not name Loop of engine/"]
        if [f.replace(top + "/", "") for f in found] != expected:
            print("self-test: the planted faults were not found as planted:", found)
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
