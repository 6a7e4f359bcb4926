#!/usr/bin/python3
# A GTK 3 window with one text view, for the Wayland insertion tests: like vesk_textclient, it
# writes what the view holds to the file named on its command line after each change and prints
# "ready" once the view has the keyboard focus. With VESK_TEST_PASTE_AFTER_MS set, it asks for the
# clipboard that long after a paste key, as a busy program does.
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

output = sys.argv[1]
window = Gtk.Window(title="vesk gtk client")
window.set_default_size(600, 300)
view = Gtk.TextView()
window.add(view)
buffer = view.get_buffer()


def save(_buffer):
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True))
    os.replace(temporary, output)


def ready():
    if window.is_active() and view.has_focus():
        print("ready", flush=True)
        return False
    view.grab_focus()
    return True


def paste_late(text_view):
    text_view.stop_emission_by_name("paste-clipboard")
    clipboard = text_view.get_clipboard(Gdk.SELECTION_CLIPBOARD)

    def ask():
        clipboard.request_text(lambda _c, text: text and buffer.insert_at_cursor(text))
        return False

    GLib.timeout_add(int(os.environ["VESK_TEST_PASTE_AFTER_MS"]), ask)


if os.environ.get("VESK_TEST_PASTE_AFTER_MS"):
    view.connect("paste-clipboard", paste_late)
buffer.connect("changed", save)
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.timeout_add(50, ready)
Gtk.main()
