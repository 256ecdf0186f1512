#!/usr/bin/env python3
"""Fails when a file includes a header from a folder its folder may not use,
or when a file of the core library includes a widget header.

    check-rooms.py SOURCE_DIR GUI_SOURCES QT_HEADERS_DIR

GUI_SOURCES lists the widget library's sources, one path a line (CMake
writes it at configure time); every other file of the folders below, but the
program's entry point, belongs to the core library, which has no widgets.
QT_HEADERS_DIR holds Qt's module folders (QtCore, QtWidgets, ...).
"""
import os
import re
import sys

# The one place the allowed directions are written. A folder may always use
# itself; every other folder it uses must be listed here. Lower floors first.
MAY_USE = {
    'app': set(),
    'work': {'app'},
    # Country codes come from their own reference database, read through the
    # SQLite layer; the store normalises numbers through country codes.
    'store': {'app', 'country', 'work'},
    'country': {'app', 'store'},
    'android': {'app', 'country', 'store', 'work'},
    'views': {'app', 'country', 'store', 'android'},
    'search': {'app', 'store', 'work'},
    'import': {'app', 'country', 'store', 'work', 'android'},
    'export': {'app', 'country', 'store', 'work', 'views'},
    'ops': {'app', 'country', 'store', 'work', 'android', 'views', 'search', 'import', 'export'},
    'ui': {'app', 'country', 'store', 'work', 'android', 'views', 'search', 'import', 'export', 'ops'},
    'cli': {'app', 'country', 'store', 'work', 'android', 'views', 'search', 'import', 'export', 'ops', 'ui'},
}

ENTRY_POINT = 'app/main.cpp'

# Single files allowed past their folder's rule, each with its reason.
EXCEPTIONS = {
    # The program's entry point builds the window over everything.
    (ENTRY_POINT, '*'),
    # The WiFi dialog connects behind the same progress dialog as every job.
    ('android/AndroidWIFIForm.cpp', 'ops/ProgressForm.h'),
}

# Qt modules whose headers only the widget library may include.
WIDGET_MODULES = ('QtWidgets', 'QtWebEngineWidgets', 'QtPrintSupport', 'QtWebEngineCore',
                  'QtOpenGLWidgets')

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def project_files(root):
    for room in MAY_USE:
        folder = os.path.join(root, room)
        for dirpath, _, names in os.walk(folder):
            for name in sorted(names):
                if name.endswith(('.cpp', '.h')):
                    yield os.path.relpath(os.path.join(dirpath, name), root)


def read_list(path, root):
    """The project-relative paths of a library's sources and their headers."""
    files = set()
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            rel = os.path.relpath(os.path.realpath(line), os.path.realpath(root))
            if rel.startswith('..'):
                continue
            files.add(rel)
            stem, ext = os.path.splitext(rel)
            if ext == '.cpp':
                files.add(stem + '.h')
    return files


def widget_headers(qt_dir):
    names = set()
    for module in WIDGET_MODULES:
        folder = os.path.join(qt_dir, module)
        if os.path.isdir(folder):
            names.update(os.listdir(folder))
            names.update(module + '/' + n for n in os.listdir(folder))
        names.add(module)
    return names


def room_of(path):
    return path.split('/', 1)[0]


def allowed(source, header):
    if (source, '*') in EXCEPTIONS or (source, header) in EXCEPTIONS:
        return True
    target = room_of(header)
    mine = room_of(source)
    return target == mine or target in MAY_USE[mine]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    root, gui_list, qt_dir = sys.argv[1:]
    gui = read_list(gui_list, root)
    widgets = widget_headers(qt_dir)
    faults = []
    for source in project_files(root):
        with open(os.path.join(root, source), encoding='utf-8') as f:
            text = f.read()
        in_core = source not in gui and source != ENTRY_POINT
        for kind, header in INCLUDE.findall(text):
            if kind == '"' and room_of(header) in MAY_USE:
                if not allowed(source, header):
                    faults.append(f'{source}: {room_of(source)}/ may not use {header}')
                elif in_core and header in gui:
                    faults.append(f'{source}: a core file includes the widget library\'s {header}')
            elif kind == '<' and in_core and header in widgets:
                faults.append(f'{source}: a core file includes the widget header <{header}>')
    for fault in faults:
        print(fault)
    print(f'{len(faults)} include(s) against the folder rules')
    sys.exit(1 if faults else 0)


if __name__ == '__main__':
    main()
