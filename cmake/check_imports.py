#!/usr/bin/env python3
"""Fails when a shipped program imports a function that the allowed list does not name.

    check_imports.py --objdump OBJDUMP --allowed LIST PROGRAM...

The list names, per DLL, every function the programs are meant to import:
a line "[NAME.dll]" starts a DLL, each further line is one function, and
"#" starts a comment. DLL names compare without regard to case.
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
    parser.add_argument("--allowed", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()

    allowed = read_allowed(args.allowed)
    unexpected = []
    for program in args.programs:
        imports = read_imports(args.objdump, program)
        if not imports:
            unexpected.append(f"{program}: no import table found")
        for dll, functions in sorted(imports.items()):
            for function in functions:
                if function not in allowed.get(dll, set()):
                    unexpected.append(f"{program}: {dll} {function}")
    if unexpected:
        print("Imports that cmake/allowed-imports.txt does not name:")
        print("\n".join("  " + line for line in unexpected))
        return 1
    print(f"Every import of {len(args.programs)} programs is on the list.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
