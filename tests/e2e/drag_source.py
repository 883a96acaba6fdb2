#!/usr/bin/env python3
"""An X11 drag source that offers files through XDND, as a file manager does.

usage: drag_source.py X Y PATH...

Shows a small window at X, Y on the display named by DISPLAY. A press of
mouse button 1 on it starts a drag of the PATHs, offered as one text/uri-list
of file:// URIs in the given order; the pointer is then moved (by whoever
drives the pointer, e.g. xdotool) and the release of the button drops them on
the XDND-aware window beneath it.

Reports what happens, one line each on standard output:
  ready WINDOW          the window is shown (its X id, decimal)
  pressed               the drag has started
  enter TARGET          the pointer is over an XDND-aware window
  status accept|refuse  the target's answer to the last position
  sent drop|leave       the release sent a drop (or a leave: nothing accepted)
  finished accept|refuse  the target has taken the drop (or not)
  gave up               two minutes passed before the drag was over
Exit status: 0 the target finished an accepted drop, 1 otherwise, 2 usage.
"""
import os
import select
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display
from Xlib.protocol import event

XDND_VERSION = 5
LIFETIME = 120.0


def say(line):
    sys.stdout.write(line + '\n')
    sys.stdout.flush()


def uri_list(paths):
    """The text/uri-list of the paths: one file:// URI per line, CR LF."""
    lines = ['file://' + urllib.parse.quote(os.path.abspath(p)) for p in paths]
    return ''.join(line + '\r\n' for line in lines).encode('ascii')


class DragSource:
    def __init__(self, x, y, paths):
        self.display = display.Display()
        self.screen = self.display.screen()
        self.root = self.screen.root
        self.data = uri_list(paths)
        atom = lambda name: self.display.intern_atom(name)
        self.atoms = {name: atom(name) for name in (
            'XdndAware', 'XdndEnter', 'XdndPosition', 'XdndStatus', 'XdndLeave', 'XdndDrop',
            'XdndFinished', 'XdndSelection', 'XdndActionCopy', 'XdndTypeList', 'TARGETS')}
        self.uri_type = atom('text/uri-list')
        self.window = self.root.create_window(
            x, y, 80, 60, 0, self.screen.root_depth, X.InputOutput, X.CopyFromParent,
            background_pixel=self.screen.black_pixel, override_redirect=True,
            event_mask=(X.ButtonPressMask | X.ButtonReleaseMask | X.PointerMotionMask |
                        X.StructureNotifyMask))
        self.window.set_wm_name('drag source')
        self.window.change_property(self.atoms['XdndTypeList'], Xatom.ATOM, 32, [self.uri_type])
        self.dragging = False
        self.target = None          # the XDND-aware window beneath the pointer
        self.target_version = 0
        self.waiting = False        # a position was sent, its status not yet seen
        self.pending = None         # (x, y, time) of a motion to send once it is
        self.accepted = False
        self.released = None        # the release's time, while the drop waits for a status
        self.result = None          # the exit status, once the drag is over

    def send(self, window, type_name, values):
        values = (list(values) + [0] * 5)[:5]
        message = event.ClientMessage(window=window, client_type=self.atoms[type_name],
                                      data=(32, values))
        window.send_event(message, event_mask=0)
        self.display.flush()

    def aware_window(self, x, y):
        """The XDND-aware window at root position x, y, with its version."""
        window = self.root
        for _ in range(8):
            child = window.query_pointer().child
            if child == X.NONE or child == 0:
                return None, 0
            if child.id == self.window.id:
                return None, 0
            prop = child.get_full_property(self.atoms['XdndAware'], X.AnyPropertyType)
            if prop is not None and len(prop.value) > 0:
                return child, int(prop.value[0])
            window = child
        return None, 0

    def motion(self, x, y, when):
        target, version = self.aware_window(x, y)
        if (target and target.id) != (self.target and self.target.id):
            if self.target is not None:
                self.send(self.target, 'XdndLeave', [self.window.id])
            self.target, self.target_version = target, version
            self.waiting, self.pending, self.accepted = False, None, False
            if target is not None:
                version = min(version, XDND_VERSION)
                self.send(target, 'XdndEnter',
                          [self.window.id, version << 24, self.uri_type])
                say('enter %d' % target.id)
        if self.target is None:
            return
        if self.waiting:
            self.pending = (x, y, when)
            return
        self.send(self.target, 'XdndPosition',
                  [self.window.id, 0, (x << 16) | y, when, self.atoms['XdndActionCopy']])
        self.waiting = True

    def release(self, when):
        self.dragging = False
        if self.target is not None and self.waiting:
            self.released = when  # drop once the last position has its answer
            return
        self.finish_release(when)

    def finish_release(self, when):
        if self.target is not None and self.accepted:
            self.send(self.target, 'XdndDrop', [self.window.id, 0, when])
            say('sent drop')
        else:
            if self.target is not None:
                self.send(self.target, 'XdndLeave', [self.window.id])
            say('sent leave')
            self.result = 1

    def client_message(self, message):
        kind = message.client_type
        values = message.data[1]
        if kind == self.atoms['XdndStatus'] and self.target is not None:
            self.waiting = False
            self.accepted = bool(values[1] & 1)
            say('status ' + ('accept' if self.accepted else 'refuse'))
            if self.released is not None:
                when, self.released = self.released, None
                self.finish_release(when)
            elif self.pending is not None:
                x, y, when = self.pending
                self.pending = None
                self.motion(x, y, when)
        elif kind == self.atoms['XdndFinished']:
            # Version 5 targets say in bit 0 whether they took the drop.
            took = self.target_version < 5 or bool(values[1] & 1)
            say('finished ' + ('accept' if took else 'refuse'))
            self.result = 0 if took else 1

    def selection_request(self, request):
        reply_property = request.property if request.property != X.NONE else request.target
        if request.selection != self.atoms['XdndSelection']:
            reply_property = X.NONE
        elif request.target == self.uri_type:
            request.requestor.change_property(reply_property, self.uri_type, 8, self.data)
        elif request.target == self.atoms['TARGETS']:
            request.requestor.change_property(reply_property, Xatom.ATOM, 32,
                                              [self.atoms['TARGETS'], self.uri_type])
        else:
            reply_property = X.NONE
        notify = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=reply_property)
        request.requestor.send_event(notify, event_mask=0)
        self.display.flush()

    def handle(self, ev):
        if ev.type == X.MapNotify and ev.window.id == self.window.id:
            say('ready %d' % self.window.id)
        elif ev.type == X.ButtonPress and ev.detail == 1 and not self.dragging:
            self.dragging = True
            self.window.set_selection_owner(self.atoms['XdndSelection'], ev.time)
            self.display.flush()
            say('pressed')
        elif ev.type == X.MotionNotify and self.dragging:
            self.motion(ev.root_x, ev.root_y, ev.time)
        elif ev.type == X.ButtonRelease and ev.detail == 1 and self.dragging:
            self.release(ev.time)
        elif ev.type == X.ClientMessage:
            self.client_message(ev)
        elif ev.type == X.SelectionRequest:
            self.selection_request(ev)

    def run(self):
        self.window.map()
        self.display.flush()
        end = time.monotonic() + LIFETIME
        descriptor = self.display.fileno()
        while self.result is None:
            while self.display.pending_events() and self.result is None:
                self.handle(self.display.next_event())
            if self.result is not None:
                break
            left = end - time.monotonic()
            if left <= 0:
                say('gave up')
                return 1
            select.select([descriptor], [], [], min(left, 1.0))
            # Reading the connection queues whatever arrived.
            self.display.pending_events()
        return self.result


def main():
    if len(sys.argv) < 4:
        sys.stderr.write(__doc__.strip().splitlines()[2] + '\n')
        return 2
    source = DragSource(int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:])
    return source.run()


if __name__ == '__main__':
    sys.exit(main())
