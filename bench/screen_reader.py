"""A stand-in for a screen reader, run by /usr/bin/python3 (Debian's python3-dbus) inside
the window's D-Bus session: it asks the accessibility registry for the events a screen
reader listens to (text and state changes), so that the window's accessibility bridge sends
them, and takes every one off the bus as they come."""

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

EVENTS = ("object:text-changed", "object:state-changed")


def main():
    DBusGMainLoop(set_as_default=True)
    session = dbus.SessionBus()
    address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
        dbus_interface="org.a11y.Bus")
    bus = dbus.bus.BusConnection(address)
    registry = bus.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/registry")
    for event in EVENTS:
        try:
            registry.RegisterEvent(event, dbus.Array([], "s"), "",
                                   dbus_interface="org.a11y.atspi.Registry")
        except dbus.DBusException:  # the older registry takes the event's name alone
            registry.RegisterEvent(event, dbus_interface="org.a11y.atspi.Registry")
    bus.add_match_string("type='signal',interface='org.a11y.atspi.Event.Object'")
    bus.add_message_filter(lambda _connection, _message: None)
    print("listening", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
