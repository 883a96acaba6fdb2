#!/usr/bin/env python3
"""Times quernwick-list over a folder of PE files beside two general dumpers
and beside the floor loop, which only maps each file and touches its import
section's pages.

usage: compare-folder.py --build DIR [--runs N] [FOLDER]

DIR is a host build with -DQUERNWICK_BENCH=ON (quernwick-list, floor_loop).
FOLDER defaults to the 32-bit Windows DLLs that Debian's Wine installs.
Every tool reads all files in one process, output to /dev/null; each is run
N times after a warm-up, and the medians and their ratios are printed. Then
the same for the smallest and the largest file alone, where start-up counts.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

DEFAULT_FOLDER = '/usr/lib/i386-linux-gnu/wine/i386-windows'


def median_seconds(command, runs):
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # warm-up
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def tools(build, files):
    found = [
        ('floor loop', [os.path.join(build, 'floor_loop')] + files),
        ('quernwick-list', [os.path.join(build, 'quernwick-list')] + files),
    ]
    for name, command in (('i686-w64-mingw32-objdump -p', ['i686-w64-mingw32-objdump', '-p']),
                          ('llvm-readobj --coff-imports', ['llvm-readobj', '--coff-imports'])):
        if shutil.which(command[0]):
            found.append((name, command + files))
        else:
            print('(%s not found: skipped)' % command[0])
    return found


def report(title, build, files, runs):
    print('\n%s: %d files, %.1f MB' % (title, len(files), sum(os.path.getsize(f) for f in files) / 1e6))
    rows = [(name, median_seconds(command, runs)) for name, command in tools(build, files)]
    floor = rows[0][1]
    lister = rows[1][1]
    print('  %-30s %12s %10s %12s' % ('tool', 'median ms', 'x floor', 'x lister'))
    for name, seconds in rows:
        print('  %-30s %12.2f %10.2f %12.2f' % (name, seconds * 1e3, seconds / floor, seconds / lister))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--build', required=True)
    parser.add_argument('--runs', type=int, default=11)
    parser.add_argument('folder', nargs='?', default=DEFAULT_FOLDER)
    arguments = parser.parse_args()
    files = sorted(os.path.join(arguments.folder, name) for name in os.listdir(arguments.folder)
                   if name.lower().endswith(('.dll', '.exe')))
    if not files:
        print('no PE files in %s' % arguments.folder)
        return 2
    report('Whole folder ' + arguments.folder, arguments.build, files, arguments.runs)
    by_size = sorted(files, key=os.path.getsize)
    report('Smallest file ' + os.path.basename(by_size[0]), arguments.build, by_size[:1], arguments.runs * 3)
    report('Largest file ' + os.path.basename(by_size[-1]), arguments.build, by_size[-1:], arguments.runs * 3)
    return 0


if __name__ == '__main__':
    sys.exit(main())
