#!/usr/bin/env python3
"""Checks the include rules of the source tree; prints each breach, exits 1 on any.

- Quoted includes are written from a root, never with "../", and name a file
  that is there: src/ and res/ for the module, tools/ for vuvpack, tests/ and
  tools/tests/ for test helpers (always "support/...").
- Layers in src/: app/ is the top and nobody else's; base/ is the ground
  floor and uses no part; the parts (check, extract, launch, ui) use base/
  and each other without a cycle.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCES = ('.cpp', '.h', '.c')
PARTS = ('check', 'extract', 'launch', 'ui')

# Where a file's quoted includes may come from: the roots of its folder.
ROOTS = [
    ('src/', ['src', 'res']),
    ('bench/', ['src', 'res']),
    ('tools/tests/', ['tools/tests', 'tools', 'src']),
    ('tools/', ['tools', 'src']),
    ('tests/', ['tests', 'src', 'res']),
]


def Files(top, base):
    for folder, _, names in os.walk(os.path.join(top, base)):
        for name in sorted(names):
            if name.endswith(SOURCES):
                yield os.path.relpath(os.path.join(folder, name), top).replace(os.sep, '/')


def Roots(path):
    for prefix, roots in ROOTS:
        if path.startswith(prefix):
            return roots
    return []


def Resolve(top, path, include):
    for root in Roots(path):
        if os.path.isfile(os.path.join(top, root, include)):
            return root
    return None


def FindCycle(edges):
    state = {}

    def Visit(node, trail):
        state[node] = 'open'
        for next_node in sorted(edges.get(node, ())):
            if state.get(next_node) == 'open':
                return trail + [node, next_node]
            if next_node not in state:
                found = Visit(next_node, trail + [node])
                if found:
                    return found
        state[node] = 'done'
        return None

    for node in sorted(edges):
        if node not in state:
            found = Visit(node, [])
            if found:
                return found
    return None


def Check(top):
    breaches = []
    edges = {}
    for base in ('src', 'tools', 'tests', 'bench'):
        for path in Files(top, base):
            with open(os.path.join(top, path), encoding='utf-8') as source:
                includes = INCLUDE.findall(source.read())
            for include in includes:
                root = Resolve(top, path, include)
                if '..' in include.split('/') or root is None:
                    breaches.append(f'{path}: "{include}" is not a path from {" or ".join(r + "/" for r in Roots(path))}')
                    continue
                if path.startswith(('tests/', 'tools/tests/')) and root in ('tests', 'tools/tests') \
                        and not include.startswith('support/'):
                    breaches.append(f'{path}: test helper "{include}" is not under support/')
                if not path.startswith('src/') or root != 'src':
                    continue
                source_layer, target_layer = path.split('/')[1], include.split('/')[0]
                if source_layer == target_layer:
                    continue
                if target_layer == 'app':
                    breaches.append(f'{path}: only app/ includes "{include}"')
                elif source_layer == 'base':
                    breaches.append(f'{path}: the ground floor includes the part "{include}"')
                elif source_layer in PARTS and target_layer in PARTS:
                    edges.setdefault(source_layer, set()).add(target_layer)
    cycle = FindCycle(edges)
    if cycle:
        breaches.append('parts include each other in a cycle: ' + ' -> '.join(cycle))
    return breaches


if __name__ == '__main__':
    found = Check(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..'))
    for breach in found:
        print(breach)
    sys.exit(1 if found else 0)
