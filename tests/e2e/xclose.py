"""Closing a window as a window manager does when the user clicks its close
control: the WM_DELETE_WINDOW message of the ICCCM, sent to the program's
top-level window. The test sessions run no window manager, so this stands in
for one (through libX11, which every X client has)."""

import ctypes
import ctypes.util
import os

_x = ctypes.CDLL(ctypes.util.find_library("X11"))
_x.XOpenDisplay.restype = ctypes.c_void_p
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XDefaultRootWindow.restype = ctypes.c_ulong
_x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x.XInternAtom.restype = ctypes.c_ulong
_x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                          ctypes.POINTER(ctypes.c_ulong),
                          ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                          ctypes.POINTER(ctypes.c_uint)]
_x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                  ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
                                  ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                  ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                  ctypes.POINTER(ctypes.c_void_p)]
_x.XFree.argtypes = [ctypes.c_void_p]
_x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                          ctypes.c_void_p]
_x.XFlush.argtypes = [ctypes.c_void_p]
_x.XCloseDisplay.argtypes = [ctypes.c_void_p]

_CLIENT_MESSAGE = 33
_ANY_PROPERTY_TYPE = 0


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("l", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def _property(dpy, window, name):
    atom = _x.XInternAtom(dpy, name, 0)
    kind, fmt = ctypes.c_ulong(), ctypes.c_int()
    count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    if _x.XGetWindowProperty(dpy, window, atom, 0, 1024, 0, _ANY_PROPERTY_TYPE,
                             ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count),
                             ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
        return None
    try:
        if fmt.value == 8:
            return ctypes.string_at(data, count.value).decode("utf-8", "replace")
        if fmt.value == 32:
            return list(ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[:count.value])
        return None
    finally:
        _x.XFree(data)


def close_window(pid, title):
    """Sends WM_DELETE_WINDOW to each top-level window of process pid titled
    title; returns how many were sent (0 when none was found)."""
    dpy = _x.XOpenDisplay(os.environ["DISPLAY"].encode())
    if not dpy:
        raise RuntimeError("cannot open the display")
    try:
        root = _x.XDefaultRootWindow(dpy)
        parent, top = ctypes.c_ulong(), ctypes.c_ulong()
        children, n = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        _x.XQueryTree(dpy, root, ctypes.byref(top), ctypes.byref(parent), ctypes.byref(children),
                      ctypes.byref(n))
        windows = [children[i] for i in range(n.value)]
        if children:
            _x.XFree(children)
        protocols = _x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        delete = _x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        sent = 0
        for w in windows:
            if _property(dpy, w, b"_NET_WM_PID") != [pid]:
                continue
            if _property(dpy, w, b"_NET_WM_NAME") != title:
                continue
            if delete not in (_property(dpy, w, b"WM_PROTOCOLS") or []):
                continue
            event = _ClientMessage(type=_CLIENT_MESSAGE, window=w, message_type=protocols,
                                   format=32)
            event.l[0] = delete
            event.l[1] = 0  # CurrentTime
            _x.XSendEvent(dpy, w, 0, 0, ctypes.byref(event))
            sent += 1
        _x.XFlush(dpy)
        return sent
    finally:
        _x.XCloseDisplay(dpy)
