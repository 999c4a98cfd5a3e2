#!/usr/bin/env python3
"""Fails when a folder includes a header of a folder it may not use.

The rule is the table of the README's developers section: each row names a
folder and the folders it may include from ("everything above" means every
folder of the earlier rows). Those folders are the product; none of them may
include from tests/ or tools/.

The operating system is reached through platform/ alone: system headers are
included only in its implementation folders (platform/posix/, and one per
further system), which nothing outside platform/ includes; the toolkit's
headers only in the window files and the dialog implementation.

An include counts when it resolves to a file of the tree, however it is
written: angle brackets or quotes, a path from the tree's root (the project's
include directory) or one relative to the including file's folder.

    check_layers.py [TREE]    (default: the current folder)"""
import dataclasses
import os
import pathlib
import re
import sys

ROW = re.compile(r"^\|\s*`(\w+)/`\s*\|\s*([^|]*?)\s*\|\s*$")
# "%:" is the digraph of "#"; a comment may stand between the directive's words.
_GAP = r"\s*(?:/\*.*?\*/\s*)*"
INCLUDE = re.compile("^" + _GAP + "(?:#|%:)" + _GAP + "include" + _GAP + r'(?:<([^>]*)>|"([^"]*)")')
SOURCE_SUFFIXES = {".h", ".hh", ".hpp", ".hxx", ".inc", ".ipp", ".c", ".cc", ".cpp", ".cxx"}
NOT_FOR_PRODUCT = ("tests", "tools")

# Headers of the operating system: POSIX, Linux and Windows.
SYSTEM_HEADER = re.compile(
    r"^(sys/|netinet/|arpa/|linux/|net/if\.h$|"
    r"(unistd|fcntl|dlfcn|poll|ifaddrs|netdb|spawn|pwd|dirent|execinfo|ucontext|strings|"
    r"windows|winsock2|ws2tcpip|wininet|iphlpapi|dbghelp|shellapi|shlobj|gdiplus|io|direct|"
    r"process)\.h$)", re.IGNORECASE)
TOOLKIT_HEADER = re.compile(r"^(gtk|gdk|gdk-pixbuf)/")
# The files that may use the toolkit: the window and the dialog boxes.
TOOLKIT_FILES = {"app/SkinWindow.h", "app/SkinWindow.cpp", "app/UpdateApp.cpp",
                 "platform/posix/MessageBox.cpp"}
PLATFORM = "platform"


@dataclasses.dataclass
class Include:
    source: pathlib.PurePosixPath  # the including file, from the tree's root
    line: int
    written: str  # between the brackets or quotes
    targets: list  # the tree's files it may resolve to, from the tree's root


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


def logical_lines(text):
    """(first line number, line) with backslash-continued lines joined."""
    start, pending = None, ""
    for number, line in enumerate(text.splitlines(), 1):
        if start is None:
            start = number
        if line.endswith("\\"):
            pending += line[:-1]
            continue
        yield start, pending + line
        start, pending = None, ""
    if start is not None:
        yield start, pending


def includes(root, source):
    """Every include of one file, with the files of the tree it may name.

    The including file's folder and the tree's root count for both forms (a
    compiler looks beside the file for quotes only), so that neither the form
    nor a "../" gets round the table."""
    folder = source.parent
    for number, line in logical_lines(source.read_text(encoding="utf-8")):
        match = INCLUDE.match(line)
        if not match:
            continue
        written = match.group(1) if match.group(1) is not None else match.group(2)
        targets = []
        for base in (folder, root):
            candidate = pathlib.Path(os.path.normpath(base / written))
            if candidate.is_relative_to(root) and candidate.is_file():
                targets.append(pathlib.PurePosixPath(candidate.relative_to(root).as_posix()))
        yield Include(pathlib.PurePosixPath(source.relative_to(root).as_posix()), number, written,
                      targets)


def in_platform_implementation(path):
    """True for a file of one of platform/'s implementation folders."""
    return len(path.parts) > 2 and path.parts[0] == PLATFORM


def refusal(folder, include, rules):
    """The one place that decides which includes are allowed: None for an
    allowed one, else why not. Further rules go here."""
    if not include.targets:
        if SYSTEM_HEADER.match(include.written) and not in_platform_implementation(include.source):
            return "only platform's implementation folders include system headers"
        if TOOLKIT_HEADER.match(include.written) and str(include.source) not in TOOLKIT_FILES:
            return "only the window files and the dialog implementation include the toolkit"
    for target in include.targets:
        if in_platform_implementation(target) and folder != PLATFORM:
            return f"{folder}/ may not include platform's implementation"
        used = target.parts[0] if len(target.parts) > 1 else None
        if used is None or used == folder:
            continue
        if used in NOT_FOR_PRODUCT:
            return f"{folder}/ may never include from {used}/"
        if used in rules and used not in rules[folder]:
            return f"{folder}/ may not include {used}/"
    return None


def violations(root, rules):
    found = []
    for folder in rules:
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in SOURCE_SUFFIXES or not source.is_file():
                continue
            for include in includes(root, source):
                reason = refusal(folder, include, rules)
                if reason:
                    found.append(f"{include.source}:{include.line}: {reason} ({include.written})")
    return found


def main():
    root = pathlib.Path(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "."))
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
