#!/usr/bin/env python3
"""Fails when a shipped program imports a function that its own list does not name,
or its header names another Windows release than the one it is built for.

    check_imports.py --objdump OBJDUMP [--os-version MAJOR.MINOR] PROGRAM=LIST...

An --os-version applies to the PROGRAM=LIST after it: that program's header
must give the version as both its OS version and its subsystem version.

Each program has one list for its architecture (cmake/imports/), naming per
DLL every function it is meant to import: a line "[NAME.dll]" starts a DLL,
each further line is one function, and "#" starts a comment. DLL names
compare without regard to case. A listed function the program no longer
imports is reported, so the list can be kept exact, but does not fail.
"""
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


def read_versions(listing):
    """The header's "MajorOSystemVersion" and the like, as {field: number}."""
    return {field: int(value) for field, value in re.findall(r"^(M\w+Version)\s+(\d+)$", listing, re.M)}


def read_imports(listing):
    """The program's imports as {dll: [function, ...]}, from objdump's import table listing."""
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


def wrong_versions(program, listing, expected):
    """What the header says otherwise than MAJOR.MINOR, one line per field."""
    major, _, minor = expected.partition(".")
    wanted = {"MajorOSystemVersion": int(major), "MinorOSystemVersion": int(minor),
              "MajorSubsystemVersion": int(major), "MinorSubsystemVersion": int(minor)}
    found = read_versions(listing)
    return [f"{program}: {field} is {found.get(field, 'missing')}, not {value}"
            for field, value in wanted.items() if found.get(field) != value]


def parse_arguments(arguments):
    """The objdump to run and [(program, list, version or None)]."""
    usage = "usage: check_imports.py --objdump OBJDUMP [--os-version MAJOR.MINOR] PROGRAM=LIST..."
    objdump = None
    checks = []
    version = None
    words = iter(arguments)
    for word in words:
        if word in ("--objdump", "--os-version"):
            value = next(words, None)
            if value is None or (word == "--os-version" and not re.fullmatch(r"\d+\.\d+", value)):
                sys.exit(f"{word}: expected {'MAJOR.MINOR' if word == '--os-version' else 'a program'}\n{usage}")
            if word == "--objdump":
                objdump = value
            else:
                version = value
            continue
        program, _, list_path = word.partition("=")
        if not list_path:
            sys.exit(f"{word}: expected PROGRAM=LIST\n{usage}")
        checks.append((program, list_path, version))
        version = None
    if objdump is None or not checks or version is not None:
        sys.exit(usage)
    return objdump, checks


def main():
    objdump, checks = parse_arguments(sys.argv[1:])
    unexpected = []
    for program, list_path, version in checks:
        allowed = read_allowed(list_path)
        listing = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
        imports = read_imports(listing)
        if version is not None:
            unexpected += wrong_versions(program, listing, version)
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
        print("Imports that the programs' lists do not name, and headers that name another release:")
        print("\n".join("  " + line for line in unexpected))
        return 1
    stated = sum(1 for _, _, version in checks if version is not None)
    print(f"Every import of {len(checks)} programs is on its list; {stated} headers name their release.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
