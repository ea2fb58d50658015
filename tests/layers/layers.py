#!/usr/bin/env python3
"""Holds the product's layers: reads every #include of the product's sources
and fails on one that runs up a layer, or that reaches into a system's
backend from outside it. The layers and the backends are the two tables of
docs/DEVELOPING.md's "Layers" section; the code is checked against the docs.

Usage: layers.py ROOT         check the sources under ROOT
       layers.py ROOT --self  check that a backward include and a crossing
                              into another system's backend are caught
"""
import os
import re
import sys

PRODUCT = ('app', 'device', 'station', 'ui', 'serial', 'elements', 'runtime', 'resources',
           'platform')
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_tables(docs):
    """The rows of the two tables after the "layers:" and "backends:" markers,
    as lists of cells with the backquotes taken off."""
    tables, current = {}, None
    for line in docs.splitlines():
        marker = re.match(r'<!-- (layers|backends): ', line)
        if marker:
            current = tables.setdefault(marker.group(1), [])
            continue
        if current is None:
            continue
        if not line.startswith('|'):
            if current:
                current = None
            continue
        cells = [c.strip().replace('`', '') for c in line.strip('|').split('|')]
        if cells[0] in ('layer', 'backend') or set(cells[0]) <= set('-: '):
            continue
        current.append(cells)
    return tables.get('layers', []), tables.get('backends', [])


def folders_of(cell):
    return [f.strip('/') for f in cell.split() if f.strip('/')]


def owner(path, folders):
    """The longest folder of `folders` that holds `path`, or None."""
    best = None
    for f in folders:
        if (path + '/').startswith(f + '/') and (best is None or len(f) > len(best)):
            best = f
    return best


def check(files, layers, backends):
    """Every include that breaks a rule, as lines of text. `files` maps a path
    under the root to its text."""
    layer_of = {}  # folder -> the layer's name
    uses = {}  # layer -> the layers it may include (named by their folders in the table)
    for name, folders, _used in layers:
        for f in folders_of(folders):
            layer_of[f] = name
    for name, _folders, used in layers:
        uses[name] = {layer_of[f] for f in folders_of(used)} | {name}
    backend_users = {}  # backend folder -> the folders that may include it too
    for folder, _system, users in backends:
        backend_users[folder.strip('/')] = folders_of(users)
    problems = []
    for path, text in sorted(files.items()):
        here = owner(path, layer_of)
        if here is None:
            problems.append(f'{path}: in no layer of the table')
            continue
        here_backend = owner(path, backend_users)
        for included in INCLUDE.findall(text):
            if '/' not in included:
                continue
            there = owner(included, layer_of)
            if there is None:
                continue  # a system's or a library's header
            if layer_of[there] not in uses[layer_of[here]]:
                problems.append(f'{path}: includes {included}, which runs up from layer '
                                f'{layer_of[here]} to {layer_of[there]}')
            backend = owner(included, backend_users)
            if backend and backend != here_backend and \
                    owner(path, backend_users[backend]) is None:
                problems.append(f'{path}: includes {included}, inside the backend {backend}/')
    return problems


def product_files(root):
    files = {}
    for top in PRODUCT:
        for folder, _dirs, names in os.walk(os.path.join(root, top)):
            for name in names:
                if name.endswith(('.cpp', '.h')):
                    full = os.path.join(folder, name)
                    with open(full, encoding='utf-8', errors='replace') as f:
                        files[os.path.relpath(full, root)] = f.read()
    return files


def main():
    root = sys.argv[1]
    with open(os.path.join(root, 'docs/DEVELOPING.md'), encoding='utf-8') as f:
        layers, backends = read_tables(f.read())
    if not layers or not backends:
        print('layers: the tables of docs/DEVELOPING.md were not found')
        return 1
    files = product_files(root)
    if '--self' in sys.argv[2:]:
        # One include up a layer, one into another system's backend, and one
        # into a backend from outside the platform: each must be named.
        bad = {'runtime/Bad.cpp': '#include "app/cli/CliRun.h"\n',
               'platform/windows/Bad.cpp': '#include "platform/linux/CommDevice.h"\n',
               'serial/Bad.cpp': '#include "platform/shared/MMTimerRegistry.h"\n'}
        found = check({**files, **bad}, layers, backends)
        missed = [p for p in bad if not any(line.startswith(p + ':') for line in found)]
        for p in missed:
            print(f'layers: the bad include in {p} was not caught')
        return 1 if missed else 0
    problems = check(files, layers, backends)
    for p in problems:
        print(p)
    print(f'layers: {len(files)} files, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
