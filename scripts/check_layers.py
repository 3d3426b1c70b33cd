#!/usr/bin/env python3
"""Checks the includes of the sources against the layers of the tree.

Layers, lowest first: platform/, core/, resolve/, app/. A file of a layer includes only
its own layer and those below it, and above platform/ only the C and C++ standard
headers besides our own. Outside platform/ (and its tests) the platform is reached
through its public headers alone. tests/ and fuzz/ may include any public header.

Prints one line per violation (file:line: what) and exits with 1 when there is one.
Usage: check_layers.py [source root], by default the folder above this script.
"""

import pathlib
import re
import sys

LAYERS = ["platform", "core", "resolve", "app"]
OTHER_FOLDERS = ["tests", "fuzz"]
PUBLIC_PLATFORM_HEADERS = {"platform/platform.h"}

CPP_HEADERS = """
algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex
concepts condition_variable coroutine deque exception execution expected filesystem format
forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream
iterator latch limits list locale map memory memory_resource mutex new numbers numeric
optional ostream queue random ranges ratio regex scoped_allocator semaphore set
shared_mutex source_location span sstream stack stdexcept stop_token streambuf string
string_view strstream syncstream system_error thread tuple type_traits typeindex typeinfo
unordered_map unordered_set utility valarray variant vector version
cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal
cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
"""
C_HEADERS = """
assert ctype errno fenv float inttypes iso646 limits locale math setjmp signal stdalign
stdarg stdatomic stdbool stddef stdint stdio stdlib stdnoreturn string tgmath threads
time uchar wchar wctype
"""
STANDARD_HEADERS = set(CPP_HEADERS.split()) | {name + ".h" for name in C_HEADERS.split()}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def violations_of(path, folder, lines):
    """Yields (line number, what) for every include of `path` that breaks a rule."""
    rank = LAYERS.index(folder) if folder in LAYERS else None
    in_platform = folder == "platform" or path.parts[:2] == ("tests", "platform")
    for number, line in enumerate(lines, 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        bracket, header = match.groups()
        top = header.split("/")[0]
        ours = bracket == '"' and top in LAYERS + OTHER_FOLDERS
        if rank is not None and ours and (top not in LAYERS or LAYERS.index(top) > rank):
            yield number, f"{folder}/ includes {header}, which is not below it"
        elif rank is not None and rank > 0 and not ours and header not in STANDARD_HEADERS:
            yield number, f"{folder}/ includes the system header {header}"
        elif ours and top == "platform" and not in_platform and header not in PUBLIC_PLATFORM_HEADERS:
            yield number, f"{header} is internal to platform/"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    checked = 0
    found = 0
    for folder in LAYERS + OTHER_FOLDERS:
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            checked += 1
            path = source.relative_to(root)
            lines = source.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, what in violations_of(path, folder, lines):
                print(f"{path}:{number}: {what}")
                found += 1
    if found:
        print(f"layers: {checked} files checked, {found} violation{'s' if found > 1 else ''}")
        return 1
    print(f"layers: {checked} files checked, no violation")
    return 0


if __name__ == "__main__":
    sys.exit(main())
