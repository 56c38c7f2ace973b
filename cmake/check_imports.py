#!/usr/bin/env python3
"""Fails when a shipped program imports a function that its own list does not name.

    check_imports.py --objdump OBJDUMP PROGRAM=LIST...

Each program has one list for its architecture (cmake/imports/), naming per
DLL every function it is meant to import: a line "[NAME.dll]" starts a DLL,
each further line is one function, and "#" starts a comment. DLL names
compare without regard to case. A listed function the program no longer
imports is reported, so the list can be kept exact, but does not fail.
"""
import argparse
import re
import subprocess
import sys


def read_allowed(path):
    allowed = {}
    current = None
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            section = re.fullmatch(r"\[(.+)\]", line)
            if section:
                current = allowed.setdefault(section.group(1).lower(), set())
            elif current is None:
                sys.exit(f"{path}:{number}: a function before the first [DLL] line")
            else:
                current.add(line)
    return allowed


def read_imports(objdump, program):
    """The program's imports as {dll: [function, ...]}, from objdump's import table listing."""
    listing = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    imports = {}
    current = None
    for line in listing.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        if dll:
            current = imports.setdefault(dll.group(1).lower(), [])
            continue
        # Entries read "<vma> <hint> <name>"; ordinal imports have no name.
        entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if current is not None and entry:
            current.append(entry.group(1))
        elif current is not None and not line.strip():
            current = None
    return imports


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("checks", nargs="+", metavar="PROGRAM=LIST")
    args = parser.parse_args()

    unexpected = []
    for check in args.checks:
        program, _, list_path = check.partition("=")
        if not list_path:
            sys.exit(f"{check}: expected PROGRAM=LIST")
        allowed = read_allowed(list_path)
        imports = read_imports(args.objdump, program)
        if not imports:
            unexpected.append(f"{program}: no import table found")
        for dll, functions in sorted(imports.items()):
            for function in functions:
                if function not in allowed.get(dll, set()):
                    unexpected.append(f"{program}: {dll} {function} (not on {list_path})")
        for dll, functions in sorted(allowed.items()):
            for function in sorted(functions - set(imports.get(dll, []))):
                print(f"Listed but no longer imported by {program}: {dll} {function}")
    if unexpected:
        print("Imports that the programs' lists do not name:")
        print("\n".join("  " + line for line in unexpected))
        return 1
    print(f"Every import of {len(args.checks)} programs is on its list.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
