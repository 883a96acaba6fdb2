#!/usr/bin/env python3
"""Presses keys through the XTEST extension, each by its own keycode.

usage: xtest_keys.py KEYSYM...

Presses the keys named by the KEYSYMs (e.g. Control_R c) in order, then
releases them in reverse order, on the display named by DISPLAY. Unlike
xdotool, which may press another keycode that carries the same modifier,
only the keycodes of the named keysyms go down: while they are all held,
the keyboard state is read back and must show exactly those keys pressed.
Exit status: 0 done, 1 a key has no keycode or the keyboard state was
wrong, 2 usage.
"""
import sys

from Xlib import X, XK, display
from Xlib.ext import xtest


def keycode_of(connection, name):
    keysym = XK.string_to_keysym(name)
    if keysym == 0:
        return 0
    return connection.keysym_to_keycode(keysym)


def pressed_keycodes(connection):
    keymap = connection.query_keymap()
    return {index * 8 + bit for index, byte in enumerate(keymap) for bit in range(8)
            if byte & (1 << bit)}


def main():
    names = sys.argv[1:]
    if not names:
        sys.stderr.write('usage: xtest_keys.py KEYSYM...\n')
        return 2
    connection = display.Display()
    codes = []
    for name in names:
        code = keycode_of(connection, name)
        if code == 0:
            sys.stderr.write('xtest_keys: no keycode for %s\n' % name)
            return 1
        codes.append(code)

    for code in codes:
        xtest.fake_input(connection, X.KeyPress, code)
    connection.sync()
    held = pressed_keycodes(connection)
    for code in reversed(codes):
        xtest.fake_input(connection, X.KeyRelease, code)
    connection.sync()

    if held != set(codes):
        sys.stderr.write('xtest_keys: held keycodes %s, expected %s\n'
                         % (sorted(held), sorted(codes)))
        return 1
    left = pressed_keycodes(connection)
    if left:
        sys.stderr.write('xtest_keys: keycodes %s still pressed\n' % sorted(left))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
