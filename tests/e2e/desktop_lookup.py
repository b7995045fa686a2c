#!/usr/bin/env python3
"""What GTK and GIO make of an install, asked of the libraries themselves
through ctypes (no bindings needed). Run as a program of its own, so each
question reads the databases afresh from the environment's XDG folders:

    desktop_lookup.py icon NAME    the file GTK's icon theme finds for NAME at 48 pixels, or nothing
    desktop_lookup.py entry FILE   "accepted" when GIO takes the menu entry (its program is there), else "refused"
    desktop_lookup.py type NAME    the content type GIO gives a file of that name
"""

import ctypes
import sys


def icon(name):
    gtk = ctypes.CDLL("libgtk-3.so.0")
    gtk.gtk_init_check.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    if not gtk.gtk_init_check(None, None):
        sys.exit("GTK cannot open the display")
    gtk.gtk_icon_theme_get_default.restype = ctypes.c_void_p
    gtk.gtk_icon_theme_lookup_icon.restype = ctypes.c_void_p
    gtk.gtk_icon_theme_lookup_icon.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int]
    gtk.gtk_icon_info_get_filename.restype = ctypes.c_char_p
    gtk.gtk_icon_info_get_filename.argtypes = [ctypes.c_void_p]
    found = gtk.gtk_icon_theme_lookup_icon(gtk.gtk_icon_theme_get_default(), name.encode(), 48, 0)
    return gtk.gtk_icon_info_get_filename(found).decode() if found else ""


def entry(path):
    gio = ctypes.CDLL("libgio-2.0.so.0")
    gio.g_desktop_app_info_new_from_filename.restype = ctypes.c_void_p
    gio.g_desktop_app_info_new_from_filename.argtypes = [ctypes.c_char_p]
    return "accepted" if gio.g_desktop_app_info_new_from_filename(path.encode()) else "refused"


def content_type(name):
    gio = ctypes.CDLL("libgio-2.0.so.0")
    gio.g_content_type_guess.restype = ctypes.c_char_p
    gio.g_content_type_guess.argtypes = [ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p]
    return gio.g_content_type_guess(name.encode(), None, 0, None).decode()


if __name__ == "__main__":
    question, subject = sys.argv[1], sys.argv[2]
    print({"icon": icon, "entry": entry, "type": content_type}[question](subject))
