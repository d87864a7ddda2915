# A terminal as GNOME's: GTK's VTE widget, which takes the input method's text but tells it no
# surrounding text, so that an erase reaches it as Backspace keys.
#
#   vte_terminal.py -e COMMAND...
#
# Runs COMMAND in the terminal, whose window's class is quillo-e2e-vte, and ends when it ends.
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Vte", "2.91")
from gi.repository import GLib  # noqa: E402

# Before GTK starts, which names the window's class after the program.
GLib.set_prgname("quillo-e2e-vte")
from gi.repository import Gtk, Vte  # noqa: E402

window = Gtk.Window(title="quillo-e2e-vte")
terminal = Vte.Terminal()
terminal.connect("child-exited", lambda *_: Gtk.main_quit())
window.connect("destroy", Gtk.main_quit)
window.add(terminal)
window.show_all()
terminal.spawn_async(Vte.PtyFlags.DEFAULT, None, sys.argv[2:], None, GLib.SpawnFlags.SEARCH_PATH,
                     None, None, -1, None, None)
Gtk.main()
