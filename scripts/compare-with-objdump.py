#!/usr/bin/env python3
"""Compares quernwick-list's listing of PE files with what objdump -p shows.

usage: compare-with-objdump.py LISTER FILE...

LISTER is a quernwick-list command (a host build's program, or
"scripts/wine-prefix.sh run build/windows/quernwick-list.exe"). For each file
the imports objdump reports are grouped as the tree groups them: consecutive
descriptors of the same DLL form one run, and a descriptor without functions
shows nothing. A file without an import table must show as "Could not read". Prints one line per file and a summary; exits 1 on a mismatch.
"""
import re
import shlex
import subprocess
import sys

THUNK = re.compile(r'^\t([0-9a-fA-F]+)\t +(\S+)  (.*)$')


def objdump_groups(path):
    text = subprocess.run(['objdump', '-p', path], capture_output=True, text=True,
                          errors='surrogateescape').stdout
    if 'The Import Tables' not in text:
        return None
    groups = []
    in_imports = False
    for line in text.splitlines():
        if line.startswith('The Import Tables'):
            in_imports = True
            continue
        if in_imports and (line.startswith('The ') or line.startswith('PE File Base Relocations')):
            break
        if not in_imports:
            continue
        if line.startswith('\tDLL Name: '):
            groups.append([line[len('\tDLL Name: '):], []])
            continue
        match = THUNK.match(line)
        if match and groups:
            value, _, name = match.groups()
            if name == '<none>':
                name = '#%d' % (int(value, 16) & 0xFFFF)
            else:
                name = name.split(' ')[0]  # objdump may add "<bound to ...>"
            groups[-1][1].append(name)
    return merge([g for g in groups if g[1]])


def merge(groups):
    merged = []
    for dll, functions in groups:
        if merged and merged[-1][0] == dll:
            merged[-1][1].extend(functions)
        else:
            merged.append([dll, list(functions)])
    return merged


def lister_groups(lister, path):
    result = subprocess.run(shlex.split(lister) + [path], capture_output=True)
    lines = result.stdout.decode('latin-1').split('\r\n')
    groups = []
    for line in lines[1:]:
        if line.startswith('\t\t'):
            groups[-1][1].append(line[2:])
        elif line.startswith('\t'):
            groups.append([line[1:], []])
    return result.returncode, lines[0], groups


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[2])
        return 2
    lister, paths = sys.argv[1], sys.argv[2:]
    failures = 0
    functions = 0
    for path in paths:
        expected = objdump_groups(path)
        status, root, actual = lister_groups(lister, path)
        if expected is None:
            ok = status == 1 and root == 'Could not read ' + path and not actual
            count = 0
        else:
            ok = status == 0 and actual == expected
            count = sum(len(f) for _, f in expected)
        if not ok:
            failures += 1
            print('MISMATCH %s (status %d, root %r)' % (path, status, root[:80]))
            for a, e in zip(actual, expected or []):
                if a != e:
                    print('  first difference: lister %r objdump %r' % (a[0], e[0]))
                    break
        else:
            functions += count
    print('%d files, %d functions compared: %d passed, %d failed'
          % (len(paths), functions, len(paths) - failures, failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
