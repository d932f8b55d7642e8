#!/usr/bin/env python3
"""Checks the include rules of the source tree; prints each breach, exits 1 on any.

- Quoted includes are written from a root, never with "../", and name a file
  that is there: src/ and res/ for the module, tools/ for vuvpack, tests/ and
  tools/tests/ for test helpers (always "support/...").
- Layers in src/: app/ is the top and nobody else's; base/ is the ground
  floor and uses no part; the parts (check, extract, launch, ui) use base/
  and each other without a cycle.
- Parts of vuvpack (tools/vuvpack/): every file lies in a part's folder, and
  a part uses only the parts below it: commands, package, cabinet, lzx,
  system, top to bottom, so nothing uses commands/. A system's forms
  (system/posix/, system/windows/) are included only by the same system's
  forms; the rest reaches them through the headers in system/. Of the
  module, the tool and its tests use base/ only.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCES = ('.cpp', '.h', '.c')
PARTS = ('check', 'extract', 'launch', 'ui')
# vuvpack's parts, bottom first: each uses only those before it.
TOOL_PARTS = ('system', 'lzx', 'cabinet', 'package', 'commands')
SYSTEMS = ('posix', 'windows')

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


def ToolPart(path):
    """The part of a file under tools/vuvpack/ and its system's folder, if any; (None, None) outside a part."""
    names = path.split('/')
    if len(names) < 4 or names[2] not in TOOL_PARTS:
        return None, None
    if names[2] != 'system' or len(names) == 4:
        return names[2], None
    return ('system', names[3]) if names[3] in SYSTEMS else (None, None)


def ToolBreaches(path, include, root):
    if root == 'src':
        module_part = include.split('/')[0]
        return [] if module_part == 'base' else [f'{path}: vuvpack uses the module\'s base/ only, not "{include}"']
    if not path.startswith('tools/vuvpack/') or not include.startswith('vuvpack/'):
        return []
    source_part, source_system = ToolPart(path)
    target_part, target_system = ToolPart('tools/' + include)
    if source_part is None or target_part is None:
        return []  # the file outside a part is reported itself
    if target_system and target_system != source_system:
        return [f'{path}: only system/{target_system}/ includes "{include}"; the others use the header in system/']
    if TOOL_PARTS.index(target_part) > TOOL_PARTS.index(source_part):
        return [f'{path}: the part {source_part}/ includes "{include}" of the part {target_part}/ above it']
    return []


def Check(top):
    breaches = []
    edges = {}
    for path in Files(top, 'tools/vuvpack'):
        if ToolPart(path)[0] is None:
            breaches.append(f'{path}: not in a part\'s folder ({", ".join(reversed(TOOL_PARTS))}; '
                            f'system/{" or system/".join(SYSTEMS)} for a system\'s forms)')
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
                if path.startswith('tools/'):
                    breaches += ToolBreaches(path, include, root)
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
