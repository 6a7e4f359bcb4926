#!/usr/bin/python3
# A Tk window with one text field, for the insertion tests: like vesk_textclient, it writes what
# the field holds to the file named on its command line after each change and prints "ready"
# once the field has the focus.
import os
import sys
import tkinter

output = sys.argv[1]
root = tkinter.Tk(className="vesk_tkclient")
root.title("vesk tk client")
text = tkinter.Text(root, width=80, height=20)
text.pack()


def save(_event=None):
    if not text.edit_modified():
        return
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text.get("1.0", "end-1c"))
    os.replace(temporary, output)
    text.edit_modified(False)


def ready():
    if root.focus_get() == text:
        print("ready", root.winfo_id(), flush=True)
    else:
        text.focus_force()
        root.after(50, ready)


text.bind("<<Modified>>", save)
root.after(50, ready)
root.mainloop()
