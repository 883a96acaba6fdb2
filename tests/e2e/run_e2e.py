#!/usr/bin/env python3
"""End-to-end suite: the Windows build of Quernwick under Wine, driven from outside.

usage: run_e2e.py

Starts a virtual X display (Xvfb) and quernwick.exe on it under Wine, then
uses the program the way a person does: drops files on its window through
X11 drag and drop, types keys through the X keyboard, reads the clipboard
with programs of its own, and closes the window. Expected texts come from
quernwick-list.exe for the same paths, from literal texts and from objdump.

Needs the Windows build in build/windows (quernwick.exe, quernwick-list.exe
and the tools in build/windows/tests) and python3-xlib, xdotool, xclip,
imagemagick, Xvfb and Wine (scripts/setup.sh installs them). Uses the Wine
prefix named by QUERNWICK_WINEPREFIX, build/wine-e2e by default. Screenshots
and logs go to build/e2e.

Prints PASS or FAIL for each step and a last line "E2E: N passed, M failed";
exits 1 when a step failed.
"""
import os
import queue
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time
import traceback

from Xlib import X, display

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.join(ROOT, 'build', 'windows')
OUT = os.path.join(ROOT, 'build', 'e2e')
WINE_PREFIX_SCRIPT = os.path.join(ROOT, 'scripts', 'wine-prefix.sh')
# Real 32-bit Windows DLLs: Wine's own, from Debian's wine32 package.
WINE_DLLS = '/usr/lib/i386-linux-gnu/wine/i386-windows'

PROGRAM = os.path.join(BUILD, 'quernwick.exe')
LISTER = os.path.join(BUILD, 'quernwick-list.exe')
TOOLS = os.path.join(BUILD, 'tests')

SCREEN = (1024, 768)
# Where the drag source shows itself: the bottom right corner, clear of the
# program's window.
SOURCE_AT = (900, 680)
SUITE_LIMIT = 320  # seconds for all steps; every step has its own, shorter limit too

ERROR_TEXT = 'Caught exception with error code 5'  # ERROR_ACCESS_DENIED


class StepFailed(Exception):
    pass


class StepTimeout(Exception):
    pass


def check(condition, message):
    if not condition:
        raise StepFailed(message)


def wait_for(probe, timeout, what, interval=0.1):
    """Calls probe until it returns a true value and returns that value;
    fails the step when timeout seconds pass first."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= end:
            raise StepFailed('timed out waiting for ' + what)
        time.sleep(interval)


def wine_path(path):
    """The path as Wine shows a Unix path to Windows programs: on drive Z:."""
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def first_difference(actual, expected):
    a, e = actual.split(b'\n'), expected.split(b'\n')
    for number, (x, y) in enumerate(zip(a, e), 1):
        if x != y:
            return 'line %d is %r, expected %r' % (number, x[:120], y[:120])
    return '%d lines, expected %d' % (len(a), len(e))


def colours(image):
    """The distinct pixel values of a 32-bit picture."""
    return set(image[i:i + 4] for i in range(0, len(image), 4))


def parse_listing(text):
    """The listing's files: [(root line, [[dll, [function, ...]], ...]), ...]."""
    files = []
    for line in text.decode('latin-1').split('\r\n'):
        if line.startswith('\t\t'):
            check(files and files[-1][1], 'a function line with no DLL above it: %r' % line)
            files[-1][1][-1][1].append(line[2:])
        elif line.startswith('\t'):
            check(files, 'a DLL line with no file above it: %r' % line)
            files[-1][1].append([line[1:], []])
        elif line:
            files.append((line, []))
    return files


def objdump_groups(path):
    """The imports of a PE file as objdump -p reports them, grouped as runs:
    consecutive descriptors of one DLL form one run; one without functions
    shows nothing."""
    result = subprocess.run(['i686-w64-mingw32-objdump', '-p', path], capture_output=True,
                            timeout=30)
    check(result.returncode == 0, 'objdump -p %s failed' % path)
    groups = []
    inside = False
    for line in result.stdout.decode('latin-1').splitlines():
        if line.startswith('The Import Tables'):
            inside = True
        elif inside and line.startswith('The '):
            break
        elif inside and line.startswith('\tDLL Name: '):
            groups.append([line[len('\tDLL Name: '):], []])
        elif inside and groups:
            match = re.match(r'^\t[0-9a-fA-F]+\t +\d+  (\S+)', line)
            if match:
                check(match.group(1) != '<none>', 'ordinal imports in %s: not handled' % path)
                groups[-1][1].append(match.group(1))
    runs = []
    for dll, functions in groups:
        if not functions:
            continue
        if runs and runs[-1][0] == dll:
            runs[-1][1].extend(functions)
        else:
            runs.append([dll, list(functions)])
    return runs


class LineReader:
    """Collects a child process's output lines on a thread."""

    def __init__(self, stream):
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.put(line.rstrip('\r\n'))
        self.lines.put(None)

    def wait(self, accept, timeout, what):
        """Waits for a line for which accept is true and returns it."""
        end = time.monotonic() + timeout
        while True:
            left = end - time.monotonic()
            if left <= 0:
                raise StepFailed('timed out waiting for %s (saw %s)' % (what, self.seen[-5:]))
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            if line is None:
                raise StepFailed('output ended before %s (saw %s)' % (what, self.seen[-5:]))
            self.seen.append(line)
            if accept(line):
                return line


class Suite:
    def __init__(self):
        self.results = []
        self.children = []      # every process started, to stop at the end
        self.xvfb = None
        self.display_name = None
        self.x = None           # our own connection to the display
        self.program = None
        self.window = None      # the program's X window
        self.dialog = None
        self.holder = None      # clipboard-hold, while it runs
        self.empty_image = None
        self.server_stopped = False
        self.environment = dict(os.environ)
        self.environment.setdefault('QUERNWICK_WINEPREFIX', os.path.join(ROOT, 'build', 'wine-e2e'))
        self.token = '%08x' % random.getrandbits(32)
        files = os.path.join(OUT, 'files')
        self.crafted = os.path.join(files, 'not a program.dll')
        self.release = os.path.join(files, 'release-clipboard')
        self.first_set = [os.path.join(WINE_DLLS, 'ws2_32.dll'), self.crafted,
                          os.path.join(WINE_DLLS, 'version.dll'),
                          os.path.join(WINE_DLLS, 'ws2_32.dll')]
        # A real DLL, and a copy of a real exe padded to 3 GB with a hole: no
        # 32-bit process has room for a view of all of it.
        self.unpadded = os.path.join(WINE_DLLS, 'notepad.exe')
        self.padded = os.path.join(files, 'notepad padded to 3 GB.exe')
        self.second_set = [os.path.join(WINE_DLLS, 'version.dll'), self.padded]
        # Crafted by make-image: the largest listing one file can give, and a
        # small hostile image far beyond the reader's limits.
        self.at_limit = os.path.join(files, 'limit.dll')
        self.beyond = os.path.join(files, 'hostile.dll')
        self.expected = {}      # the listings the copy must produce, by name
        self.log = open(os.path.join(OUT, 'e2e.log'), 'w')

    # --- processes --------------------------------------------------------

    def start(self, arguments, **options):
        options.setdefault('stdout', self.log)
        options.setdefault('stderr', self.log)
        process = subprocess.Popen(arguments, env=self.environment, **options)
        self.children.append(process)
        return process

    def wine(self, program, arguments=(), timeout=30, stdout=subprocess.PIPE):
        """Runs a Windows program under Wine to its end: (exit status, output)."""
        result = subprocess.run([WINE_PREFIX_SCRIPT, 'run', program] + list(arguments),
                                env=self.environment, stdout=stdout, stderr=self.log,
                                timeout=timeout)
        return result.returncode, result.stdout

    def tool(self, name, arguments=(), timeout=30):
        return self.wine(os.path.join(TOOLS, name + '.exe'), arguments, timeout)

    def xdotool(self, *arguments, timeout=15):
        result = subprocess.run(['xdotool'] + [str(a) for a in arguments], env=self.environment,
                                capture_output=True, text=True, timeout=timeout)
        return result.returncode, result.stdout

    def need_program(self):
        check(self.window is not None, 'the program has no window')
        check(self.program is not None and self.program.poll() is None,
              'the program is not running')

    # --- the display ------------------------------------------------------

    def start_display(self):
        """Xvfb on a display number it picks itself among the free ones."""
        reading, writing = os.pipe()
        self.xvfb = self.start(['Xvfb', '-displayfd', str(writing), '-screen', '0',
                                '%dx%dx24' % SCREEN, '-nolisten', 'tcp'], pass_fds=(writing,))
        os.close(writing)
        number = b''
        end = time.monotonic() + 20
        while not number.endswith(b'\n') and time.monotonic() < end:
            ready, _, _ = select.select([reading], [], [], 0.5)
            if ready:
                chunk = os.read(reading, 16)
                if not chunk:
                    break
                number += chunk
        os.close(reading)
        check(number.strip().isdigit(), 'Xvfb did not start')
        self.display_name = ':' + number.strip().decode()
        self.environment['DISPLAY'] = self.display_name
        self.x = display.Display(self.display_name)

    def window_image(self, window=None):
        window = window or self.window
        geometry = window.get_geometry()
        return window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap,
                                0xFFFFFFFF).data

    def settled_image(self, timeout=15):
        """The window's picture once two looks 150 ms apart agree."""
        last = [None]

        def probe():
            image = self.window_image()
            same = image == last[0]
            last[0] = image
            return image if same else None
        return wait_for(probe, timeout, 'the window to stop changing', interval=0.15)

    def screenshot(self, name):
        path = os.path.join(OUT, name)
        subprocess.run(['import', '-window', 'root', path], env=self.environment, timeout=30,
                       check=True, stdout=self.log, stderr=self.log)
        return path

    def origin(self, window):
        at = self.x.screen().root.translate_coords(window, 0, 0)
        geometry = window.get_geometry()
        return at.x, at.y, geometry.width, geometry.height

    def visible_named(self, name):
        code, output = self.xdotool('search', '--onlyvisible', '--name', '^%s$' % name)
        return [int(w) for w in output.split()] if code == 0 else []

    def focus(self, window_id):
        code, _ = self.xdotool('windowfocus', '--sync', window_id)
        check(code == 0, 'could not focus window %d' % window_id)

    def barrier(self):
        """Returns once the program has handled every key typed so far: the
        Down key, typed last, moves the tree's selection, and the window
        shows the move only after the keys before it were handled."""
        before = self.settled_image()
        code, _ = self.xdotool('key', 'Down')
        check(code == 0, 'xdotool key Down failed')
        wait_for(lambda: self.window_image() != before, 15,
                 'the Down key to move the selection')

    # --- the clipboard ----------------------------------------------------

    def read_clipboard(self):
        code, text = self.tool('clipboard-read')
        return text if code == 0 else None

    def write_marker(self, label):
        """Puts a marker text on the clipboard; returns it and the clipboard's
        sequence number after the change."""
        marker = 'quernwick e2e marker %s %s' % (label, self.token)
        code, sequence = self.tool('clipboard-write', [marker])
        check(code == 0 and sequence.strip().isdigit(), 'clipboard-write failed (%d)' % code)
        check(self.read_clipboard() == marker.encode(), 'the marker did not reach the clipboard')
        wait_for(lambda: self.x_clipboard() == marker.encode(), 15,
                 'the marker to reach the X clipboard')
        return marker.encode(), sequence.strip().decode()

    def x_clipboard(self):
        try:
            result = subprocess.run(['xclip', '-o', '-selection', 'clipboard'],
                                    env=self.environment, capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            return None
        return result.stdout if result.returncode == 0 else None

    def copy_and_read(self, marker):
        """Types left Ctrl + C and returns the clipboard's text once the
        clipboard has changed since the marker. The reader waits for the
        change before it opens the clipboard: opened earlier, it could make
        the program's own OpenClipboard fail."""
        text, sequence = marker
        self.focus(self.window.id)
        code, _ = self.xdotool('key', 'ctrl+c')
        check(code == 0, 'xdotool key ctrl+c failed')
        code, copied = self.tool('clipboard-read', ['--after', sequence], timeout=40)
        check(code != 4, 'the clipboard did not change')
        check(code == 0, 'clipboard-read failed (%d)' % code)
        check(copied != text, 'the clipboard still holds the marker')
        return copied

    def copy_and_check(self, label, name):
        """Puts a marker on the clipboard, copies, and checks the copied text
        against the expected listing called name. Returns the text."""
        text = self.copy_and_read(self.write_marker(label))
        self.check_copy(text, name)
        return text

    def check_copy(self, text, name):
        expected = self.expected[name]
        if text != expected:
            with open(os.path.join(OUT, 'clipboard-%s.txt' % name), 'wb') as f:
                f.write(text)
            with open(os.path.join(OUT, 'expected-%s.txt' % name), 'wb') as f:
                f.write(expected)
            raise StepFailed('the clipboard differs from quernwick-list: '
                             + first_difference(text, expected))

    # --- drag and drop ----------------------------------------------------

    def drop(self, paths):
        """Drags paths from a drag source of ours onto the program's window."""
        source = self.start([sys.executable, os.path.join(HERE, 'drag_source.py'),
                             str(SOURCE_AT[0]), str(SOURCE_AT[1])] + paths,
                            stdout=subprocess.PIPE, text=True)
        lines = LineReader(source.stdout)
        pressed = False
        try:
            lines.wait(lambda l: l.startswith('ready'), 20, 'the drag source')
            sx, sy = SOURCE_AT[0] + 40, SOURCE_AT[1] + 30
            self.xdotool('mousemove', sx, sy)
            self.xdotool('mousedown', 1)
            pressed = True
            lines.wait(lambda l: l == 'pressed', 10, 'the drag to start')
            self.xdotool('mousemove', sx - 10, sy - 10)
            x, y, width, height = self.origin(self.window)
            # Over the window; moved again until the window accepts the files.
            accepted = False
            for attempt in range(6):
                self.xdotool('mousemove', x + width // 2 + attempt * 7, y + height // 2)
                try:
                    answer = lines.wait(lambda l: l.startswith('status'), 3, 'an answer')
                except StepFailed:
                    continue
                accepted = answer == 'status accept'
                if accepted:
                    break
            check(accepted, 'the window did not accept the files: %s' % lines.seen[-5:])
            self.xdotool('mouseup', 1)
            pressed = False
            lines.wait(lambda l: l.startswith('finished'), 20, 'the drop to finish')
            check(lines.seen[-1] == 'finished accept', 'the window refused the drop')
            check(source.wait(timeout=10) == 0, 'the drag source failed')
        finally:
            if source.poll() is None:
                source.kill()
                source.wait()
            self.xdotool('mousemove', SCREEN[0] - 8, SCREEN[1] - 8)
            if pressed:  # a drag that failed must not leave the button down
                self.xdotool('mouseup', 1)

    # --- the steps --------------------------------------------------------

    def step_start(self):
        """the program starts under Wine and shows its empty window"""
        self.start_display()
        # A server of this prefix left over from an earlier run would serve
        # its dead display: stop it, start afresh.
        subprocess.run([WINE_PREFIX_SCRIPT, 'stop'], env=self.environment, timeout=30)
        subprocess.run([WINE_PREFIX_SCRIPT, 'init'], env=self.environment, timeout=120,
                       stdout=self.log, stderr=self.log, check=True)
        self.program = self.start([WINE_PREFIX_SCRIPT, 'run', PROGRAM])

        def shown():
            check(self.program.poll() is None,
                  'the program ended with status %s' % self.program.poll())
            return self.visible_named('Quernwick')
        windows = wait_for(shown, 60, 'the window "Quernwick"', interval=0.2)
        check(len(windows) == 1, 'more than one window titled Quernwick: %s' % windows)
        self.window = self.x.create_resource_object('window', windows[0])
        x, y, width, height = self.origin(self.window)
        check(width >= 200 and height >= 200, 'the window is only %dx%d' % (width, height))
        image = self.settled_image()
        # An empty tree is its background all over: white in Wine's colours.
        plain = colours(image)
        check(len(plain) == 1 and next(iter(plain))[:3] == b'\xff\xff\xff',
              'the empty window is not plain white')
        self.empty_image = image
        self.screenshot('1-empty-window.png')
        return 'window %dx%d at %d,%d' % (width, height, x, y)

    def step_drop(self):
        """four files dropped through XDND show as a listing"""
        self.need_program()
        with open(self.crafted, 'wb') as f:
            f.write(b'MZ: this file is text, not a PE image\n' * 4)
        self.drop(self.first_set)
        wait_for(lambda: self.window_image() != self.empty_image, 20, 'the listing to show')
        check(len(colours(self.settled_image())) > 1, 'the window shows nothing')
        self.screenshot('2-listing.png')
        return 'ws2_32.dll, "not a program.dll", version.dll, ws2_32.dll'

    def step_expected(self):
        """quernwick-list's text agrees with the literal expectation and objdump"""
        paths = [wine_path(p) for p in self.first_set]
        code, whole = self.wine(LISTER, paths)
        check(code == 1, 'quernwick-list exited %d with an unreadable file, expected 1' % code)
        alone = {}
        for path in (self.first_set[0], self.first_set[2]):
            code, alone[path] = self.wine(LISTER, [wine_path(path)])
            check(code == 0, 'quernwick-list %s exited %d' % (path, code))
        could_not_read = b'Could not read ' + wine_path(self.crafted).encode() + b'\r\n'
        pieces = [alone[self.first_set[0]], could_not_read, alone[self.first_set[2]],
                  alone[self.first_set[0]]]
        check(whole == b'\r\n'.join(pieces),
              'quernwick-list of the four files is not the four listings with empty lines '
              'between them: ' + first_difference(whole, b'\r\n'.join(pieces)))
        for path in (self.first_set[0], self.first_set[2]):
            files = parse_listing(alone[path])
            check(len(files) == 1 and files[0][0] == wine_path(path),
                  'the listing of %s does not start with its path' % path)
            expected = objdump_groups(path)
            check(expected, 'objdump shows no imports in %s' % path)
            check(files[0][1] == expected,
                  'the listing of %s differs from objdump -p' % os.path.basename(path))
        self.expected['first'] = whole
        self.expected['version.dll'] = alone[self.second_set[0]]
        functions = sum(len(g[1]) for f in parse_listing(whole) for g in f[1])
        return '%d lines, %d functions' % (whole.count(b'\r\n'), functions)

    def step_copy(self):
        """left Ctrl + C puts exactly quernwick-list's text on the clipboard"""
        self.need_program()
        check('first' in self.expected, 'no expected listing')
        text = self.copy_and_check('before the copy', 'first')
        return '%d bytes, CR LF' % len(text)

    def step_x_clipboard(self):
        """the X clipboard shows the same text with LF line ends"""
        check('first' in self.expected, 'no expected listing')
        expected = self.expected['first'].replace(b'\r\n', b'\n')
        seen = [None]

        def probe():
            seen[0] = self.x_clipboard()
            return seen[0] == expected
        try:
            wait_for(probe, 20, 'the X clipboard to show the listing', interval=0.2)
        except StepFailed:
            if seen[0]:
                raise StepFailed('the X clipboard differs: ' + first_difference(seen[0], expected))
            raise
        return '%d bytes, LF' % len(expected)

    def select_first_item(self):
        x, y, _, _ = self.origin(self.window)
        before = self.settled_image()
        self.xdotool('mousemove', x + 120, y + 8)
        self.xdotool('click', 1)
        wait_for(lambda: self.window_image() != before, 15, 'the click to select an item')
        self.settled_image()
        self.xdotool('mousemove', SCREEN[0] - 8, SCREEN[1] - 8)

    def step_right_ctrl(self):
        """right Ctrl + C leaves the clipboard untouched"""
        self.need_program()
        marker, _ = self.write_marker('right Ctrl')
        self.select_first_item()
        self.focus(self.window.id)
        result = subprocess.run([sys.executable, os.path.join(HERE, 'xtest_keys.py'),
                                 'Control_R', 'c'], env=self.environment, timeout=15,
                                capture_output=True, text=True)
        check(result.returncode == 0, 'xtest_keys failed: ' + result.stderr.strip())
        self.barrier()
        check(self.read_clipboard() == marker, 'the clipboard changed')
        check(self.x_clipboard() == marker, 'the X clipboard changed')
        return 'marker kept'

    def step_c_alone(self):
        """C alone leaves the clipboard untouched"""
        self.need_program()
        marker, _ = self.write_marker('C alone')
        self.focus(self.window.id)
        code, _ = self.xdotool('key', 'c')
        check(code == 0, 'xdotool key c failed')
        self.barrier()
        check(self.read_clipboard() == marker, 'the clipboard changed')
        check(self.x_clipboard() == marker, 'the X clipboard changed')
        return 'marker kept'

    def step_error_box(self):
        """with the clipboard held elsewhere, Ctrl + C shows the error box"""
        self.need_program()
        if os.path.exists(self.release):
            os.remove(self.release)
        self.holder = self.start([WINE_PREFIX_SCRIPT, 'run',
                                  os.path.join(TOOLS, 'clipboard-hold.exe'),
                                  wine_path(self.release)], stdout=subprocess.PIPE, text=True)
        LineReader(self.holder.stdout).wait(lambda l: l == 'held', 30, 'clipboard-hold')
        self.focus(self.window.id)
        code, _ = self.xdotool('key', 'ctrl+c')
        check(code == 0, 'xdotool key ctrl+c failed')
        others = wait_for(lambda: [w for w in self.visible_named('Quernwick')
                                   if w != self.window.id], 20, 'a second window "Quernwick"')
        check(len(others) == 1, 'more than one new window titled Quernwick: %s' % others)
        self.dialog = self.x.create_resource_object('window', others[0])
        _, _, width, height = self.origin(self.dialog)
        _, _, main_width, main_height = self.origin(self.window)
        check(width < main_width and height < main_height,
              'the new window (%dx%d) is no message box' % (width, height))
        code, output = self.tool('dialog-text', ['Quernwick'])
        check(code == 0, 'no dialog box captioned Quernwick')
        lines = output.decode('latin-1').splitlines()
        texts = [l.split('\t', 2)[2] for l in lines if l.startswith('child\tStatic\t')]
        check([t for t in texts if t] == [ERROR_TEXT], 'the box says %r' % texts)
        check('child\tButton\tOK' in lines, 'the box has no OK button: %r' % lines)
        check('owner\tSysTreeView32\tQuernwick\tdisabled' in lines,
              'the box is not modal to the window: %r' % lines)
        self.screenshot('3-error-box.png')
        return '"%s", %dx%d' % (ERROR_TEXT, width, height)

    def step_recover(self):
        """the box goes with Return; once the clipboard is free the copy works"""
        self.need_program()
        try:
            check(self.dialog is not None, 'no box to dismiss')
            self.focus(self.dialog.id)
            code, _ = self.xdotool('key', 'Return')
            check(code == 0, 'xdotool key Return failed')
            wait_for(lambda: self.dialog.id not in self.visible_named('Quernwick'), 20,
                     'the box to go away')
            wait_for(lambda: self.tool('dialog-text', ['Quernwick'])[0] == 1, 20,
                     'the box to be destroyed', interval=0.2)
        finally:
            # Let go of the clipboard whatever happened, so that the steps
            # after this one find it free.
            if self.holder is not None:
                with open(self.release, 'w'):
                    pass
                holder, self.holder = self.holder, None
                check(holder.wait(timeout=30) == 0, 'clipboard-hold did not let go as told')
        self.need_program()
        check('first' in self.expected, 'no expected listing')
        text = self.copy_and_check('after the box', 'first')
        return 'copied %d bytes again' % len(text)

    def step_limits(self):
        """an image at the limits lists and copies; a hostile one beyond them is not read"""
        self.need_program()
        paths = [self.at_limit, self.beyond]
        for kind, path in (('limit', self.at_limit), ('beyond', self.beyond)):
            code, _ = self.tool('make-image', [kind, wine_path(path)])
            check(code == 0, 'make-image %s failed (%d)' % (kind, code))
        code, expected = self.wine(LISTER, [wine_path(p) for p in paths], timeout=120)
        check(code == 1, 'quernwick-list exited %d with the hostile image, expected 1' % code)
        unread = b'\r\n\r\nCould not read ' + wine_path(self.beyond).encode() + b'\r\n'
        check(expected.endswith(unread), 'quernwick-list read the hostile image')
        self.expected['limits'] = expected
        before = self.settled_image()
        started = time.monotonic()
        self.drop(paths)
        wait_for(lambda: self.window_image() != before, 60, 'the listing to show')
        # A hang detector, not a speed test: the window answers a message.
        code, _ = self.tool('ping-window', ['60'], timeout=90)
        check(code == 0, 'the window does not answer (%d)' % code)
        answered = time.monotonic() - started
        self.settled_image()
        self.screenshot('4-limits.png')
        text = self.copy_and_check('limits', 'limits')
        return '%d lines copied; the window answered %.1f s after the drop' % (
            text.count(b'\r\n'), answered)

    def step_second_drop(self):
        """a second drop replaces the big listing; an exe padded to 3 GB lists as it is"""
        self.need_program()
        check('version.dll' in self.expected, 'no expected listing')
        shutil.copyfile(self.unpadded, self.padded)
        os.truncate(self.padded, 3 << 30)
        code, exe = self.wine(LISTER, [wine_path(self.unpadded)], timeout=60)
        check(code == 0, 'quernwick-list %s exited %d' % (self.unpadded, code))
        padded = exe.replace(wine_path(self.unpadded).encode(), wine_path(self.padded).encode(), 1)
        code, expected = self.wine(LISTER, [wine_path(p) for p in self.second_set], timeout=60)
        check(code == 0, 'quernwick-list exited %d' % code)
        check(expected == self.expected['version.dll'] + b'\r\n' + padded,
              'the padded exe does not list as the exe itself: '
              + first_difference(expected, self.expected['version.dll'] + b'\r\n' + padded))
        self.expected['second'] = expected
        before = self.settled_image()
        self.drop(self.second_set)
        wait_for(lambda: self.window_image() != before, 20, 'the new listing to show')
        self.settled_image()
        self.screenshot('5-second-drop.png')
        text = self.copy_and_check('second drop', 'second')
        os.remove(self.padded)
        return 'version.dll and notepad.exe padded to 3 GB, %d bytes' % len(text)

    def step_close(self):
        """WM_CLOSE ends the program with exit status 0"""
        self.need_program()
        code, _ = self.tool('post-close')
        check(code == 0, 'post-close found no window (%d)' % code)
        try:
            status = self.program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise StepFailed('the program still runs 30 s after WM_CLOSE')
        check(status == 0, 'the program exited with status %d' % status)
        wait_for(lambda: not self.visible_named('Quernwick'), 10, 'the window to go away')
        return 'exit status 0'

    def stop(self):
        """Stops whatever the suite started: by PID, and the prefix's server."""
        for process in reversed(self.children):
            if process is not self.xvfb and process.poll() is None:
                process.kill()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        if self.display_name:
            subprocess.run([WINE_PREFIX_SCRIPT, 'stop'], env=self.environment, timeout=30)
            # Waits until the server and the prefix's own programs are gone.
            server = dict(self.environment, WINEPREFIX=self.environment['QUERNWICK_WINEPREFIX'])
            try:
                self.server_stopped = subprocess.run(
                    ['/usr/lib/wine/wineserver64', '-w'], env=server, timeout=30).returncode == 0
            except subprocess.TimeoutExpired:
                self.server_stopped = False
        if self.x is not None:
            try:
                self.x.close()
            except Exception:
                pass
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()

    def step_stop(self):
        """the suite stops Wine's server and Xvfb"""
        self.stop()
        check(self.server_stopped, "the Wine server did not stop")
        check(self.xvfb is not None and self.xvfb.poll() is not None, 'Xvfb still runs')
        running = [p.pid for p in self.children if p.poll() is None]
        check(not running, 'still running: %s' % running)
        return 'Wine server and Xvfb (pid %d) ended' % self.xvfb.pid

    # --- running ----------------------------------------------------------

    def run_step(self, number, function, timeout):
        title = function.__doc__
        signal.signal(signal.SIGALRM, _on_alarm)
        signal.alarm(timeout)
        started = time.monotonic()
        try:
            detail = function()
            passed = True
        except StepTimeout:
            passed, detail = False, 'no result within %d s' % timeout
        except StepFailed as failure:
            passed, detail = False, str(failure)
        except Exception as error:  # a fault of the suite itself fails the step too
            passed, detail = False, '%s: %s' % (type(error).__name__, error)
            traceback.print_exc(file=self.log)
        finally:
            signal.alarm(0)
        seconds = time.monotonic() - started
        self.results.append(passed)
        print('%s  %2d  %s (%.1f s)%s' % ('PASS' if passed else 'FAIL', number, title, seconds,
                                          (': ' + detail) if detail else ''), flush=True)


def _on_alarm(signum, frame):
    raise StepTimeout()


def _on_termination(signum, frame):
    raise KeyboardInterrupt()


def main():
    os.makedirs(os.path.join(OUT, 'files'), exist_ok=True)
    for name in os.listdir(OUT):
        if name.endswith('.png') or name.endswith('.txt'):
            os.remove(os.path.join(OUT, name))
    missing = [p for p in (PROGRAM, LISTER) + tuple(
        os.path.join(TOOLS, t + '.exe') for t in
        ('clipboard-read', 'clipboard-write', 'clipboard-hold', 'post-close', 'dialog-text',
         'ping-window', 'make-image'))
        if not os.path.exists(p)]
    tools = [t for t in ('Xvfb', 'xdotool', 'xclip', 'import', 'wine',
                         'i686-w64-mingw32-objdump') if shutil.which(t) is None]
    if missing or tools:
        print('E2E: cannot run, missing %s' % ', '.join(missing + tools))
        print('E2E: 0 passed, 1 failed')
        return 1

    suite = Suite()
    signal.signal(signal.SIGTERM, _on_termination)
    steps = [(suite.step_start, 90), (suite.step_drop, 60), (suite.step_expected, 60),
             (suite.step_copy, 45), (suite.step_x_clipboard, 30), (suite.step_right_ctrl, 60),
             (suite.step_c_alone, 45), (suite.step_error_box, 60), (suite.step_recover, 90),
             (suite.step_limits, 180), (suite.step_second_drop, 60), (suite.step_close, 45)]
    started = time.monotonic()
    try:
        for number, (function, timeout) in enumerate(steps, 1):
            left = SUITE_LIMIT - (time.monotonic() - started)
            suite.run_step(number, function, max(1, min(timeout, int(left))))
    except KeyboardInterrupt:
        print('FAIL      interrupted', flush=True)
        suite.results.append(False)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        suite.run_step(len(steps) + 1, suite.step_stop, 45)
    passed = suite.results.count(True)
    failed = suite.results.count(False)
    print('E2E: %d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
