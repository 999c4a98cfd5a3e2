#!/usr/bin/env python3
"""Fails when a folder includes a header of a folder it may not use.

The rule is the table of the README's developers section: each row names a
folder and the folders it may include from ("everything above" means every
folder of the earlier rows)."""
import pathlib
import re
import sys

ROW = re.compile(r"^\|\s*`(\w+)/`\s*\|\s*([^|]*?)\s*\|\s*$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"(\w+)/')


def read_rules(readme):
    """Folder -> the folders it may include from, in the table's order."""
    rules = {}
    for line in readme.read_text(encoding="utf-8").splitlines():
        match = ROW.match(line)
        if not match:
            continue
        folder, uses = match.groups()
        if uses == "everything above":
            allowed = set(rules)
        else:
            allowed = {name.strip().strip("`/") for name in uses.split(",") if name.strip() not in ("", "—")}
        rules[folder] = allowed
    return rules


def violations(root, rules):
    found = []
    for folder, allowed in rules.items():
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                used = match.group(1)
                if used in rules and used != folder and used not in allowed:
                    found.append(f"{source.relative_to(root)}:{number}: {folder}/ may not include {used}/")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    rules = read_rules(root / "README.md")
    if len(rules) < 2:
        print("README.md holds no table of the folders' layers")
        return 1
    found = violations(root, rules)
    for line in found:
        print(line)
    print(f"{len(rules)} folders checked, {len(found)} wrong includes")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
