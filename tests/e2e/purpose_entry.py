# A GTK text entry that announces an input purpose to the input method, as a password field
# whose "show password" is on does: its text is visible, its purpose is still "password".
#
#   purpose_entry.py TITLE PURPOSE     (PURPOSE: free_form, password, pin, ...)
#
# Prints what the entry holds when Return is pressed, and ends.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

title, purpose = sys.argv[1], sys.argv[2]
window = Gtk.Window(title=title)
entry = Gtk.Entry()
entry.set_input_purpose(getattr(Gtk.InputPurpose, purpose.upper()))


def finish(field):
    sys.stdout.write(field.get_text())
    sys.stdout.flush()
    Gtk.main_quit()


entry.connect("activate", finish)
window.connect("destroy", Gtk.main_quit)
window.add(entry)
window.show_all()
Gtk.main()
