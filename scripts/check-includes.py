#!/usr/bin/env python3
"""Checks that the includes in common/ point down and that none is mutual.

    python3 scripts/check-includes.py [REPO_ROOT]

The layers, bottom first:
- common/ (the portable library): includes only its own headers and the standard library, never a
  header of common/win32/ nor a Win32 header;
- common/win32/, in the rooms of ROOMS below: a file includes its own module's header, portable
  headers, and the headers of rooms below its own; never one of its own room (another module) or
  of a room above.
Every file of common/win32/ must belong to a room. Any include loop among the modules of common/
(Foo.h with Foo.cpp) is reported as well: two modules that include each other, in any file, are
one. Exit code 0 when all holds, 1 with one line per fault otherwise.
"""

import os
import re
import sys

# The rooms of common/win32/, bottom first, each a list of modules (a module is a file name without
# its extension: Foo.h and Foo.cpp, or Foo_win32.cpp).
ROOMS = [
    ("owners and helpers", ["Handles", "Win32Support", "ComObject"]),
    ("system libraries and error words", ["SystemLibrary", "ErrorText"]),
    ("accounts and owners", ["Accounts"]),
    ("owners of COM, files, single copy, the runtime's hooks",
     ["ComOwners", "DescribeError", "NativeFiles", "SingleCopy", "LibraryFailures", "LoadConfig",
      "TerminateHandler"]),
    ("pictures, automation, the step's window part", ["Picture", "Automation", "StepWindow"]),
    ("control windows and their scale", ["ControlWindows"]),
    ("painting, dialog keys, accessible objects", ["FormPainter", "DialogKeys", "AccessibleWindow"]),
    ("the window and the platform", ["FormWindow", "Win32Platform"]),
    ("the program's start", ["ProgramMain"]),
]

# Headers of the Windows SDK that the portable library must never see.
WIN32_HEADERS = re.compile(
    r"^(windows|winuser|winbase|windef|wingdi|winerror|ole2|objbase|oleauto|oleacc|ocidl|olectl|"
    r"commctrl|shellapi|imm|unknwn|wrl/.*)\.h$",
    re.IGNORECASE)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def module_of(name):
    base = os.path.splitext(name)[0]
    return base[: -len("_win32")] if base.endswith("_win32") else base


def includes(path):
    with open(path, encoding="utf-8") as source:
        return INCLUDE.findall(source.read())


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    portable_dir = os.path.join(root, "common")
    win32_dir = os.path.join(portable_dir, "win32")
    sources = (".h", ".cpp")
    portable = sorted(f for f in os.listdir(portable_dir) if f.endswith(sources))
    win32 = sorted(f for f in os.listdir(win32_dir) if f.endswith(sources))
    room_of = {module: level for level, (_, modules) in enumerate(ROOMS) for module in modules}
    faults = []
    graph = {}  # module (relative to common/) -> the modules of common/ its files include

    def depends(module, target):
        if target != module:
            graph.setdefault(module, set()).add(target)

    for name in portable:
        graph.setdefault(module_of(name), set())
        for kind, header in includes(os.path.join(portable_dir, name)):
            if header in portable:
                depends(module_of(name), module_of(header))
            elif header in win32:
                faults.append(f"common/{name} includes the Win32 header {header} of common/win32/")
            elif kind == "<" and WIN32_HEADERS.match(header):
                faults.append(f"common/{name} includes the Win32 header <{header}>")

    for name in win32:
        own = "win32/" + module_of(name)
        graph.setdefault(own, set())
        level = room_of.get(module_of(name))
        if level is None:
            faults.append(f"common/win32/{name} belongs to no room: add its module to ROOMS in "
                          f"{os.path.relpath(__file__, root)}")
            continue
        for kind, header in includes(os.path.join(win32_dir, name)):
            if kind != '"':
                continue
            if header in win32:
                depends(own, "win32/" + module_of(header))
                target = module_of(header)
                if target == module_of(name):
                    continue
                target_level = room_of.get(target)
                if target_level is None:
                    continue  # reported with its own file
                if target_level >= level:
                    where = "its own room" if target_level == level else "a room above"
                    faults.append(f"common/win32/{name} ({ROOMS[level][0]}) includes {header}, "
                                  f"of {where} ({ROOMS[target_level][0]})")
            elif header in portable:
                depends(own, module_of(header))

    # Include loops, mutual ones among them: a depth-first search over the whole graph.
    state = {}
    trail = []

    def visit(node):
        state[node] = "open"
        trail.append(node)
        for target in sorted(graph.get(node, [])):
            if state.get(target) == "open":
                loop = trail[trail.index(target):] + [target]
                faults.append("include loop: " + " -> ".join("common/" + n for n in loop))
            elif target not in state:
                visit(target)
        trail.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node)

    for fault in faults:
        print("check-includes: " + fault)
    if faults:
        return 1
    print(f"check-includes: {len(portable)} portable and {len(win32)} Win32 files of common/; "
          f"every include points down and none is mutual")
    return 0


if __name__ == "__main__":
    sys.exit(main())
