#!/usr/bin/python3
# An accessibility client as a screen reader is one: it registers for the events a
# window sends about its contents, so that the window does the work of telling it.
import pyatspi


def on_event(event):
    pass


pyatspi.Registry.registerEventListener(
    on_event, "object:children-changed", "object:state-changed", "object:property-change", "focus:")
pyatspi.Registry.start()
