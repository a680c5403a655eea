#!/usr/bin/python3
"""A small org.freedesktop.portal.Screenshot for the tests, on the session bus it is started
on: the first request is answered with the image IMAGE (as the interactive dialog would after
the user picked an area), every later one is refused (response 2).

Usage: fake_portal.py IMAGE
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()


class Request(dbus.service.Object):
    @dbus.service.signal('org.freedesktop.portal.Request', signature='ua{sv}')
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    answered = 0

    @dbus.service.method('org.freedesktop.portal.Screenshot', in_signature='sa{sv}',
                         out_signature='o', sender_keyword='sender')
    def Screenshot(self, parent, options, sender=None):
        token = str(options.get('handle_token', 't'))
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (
            sender[1:].replace('.', '_'), token)
        request = Request(bus, path)
        Portal.answered += 1
        if Portal.answered == 1 and bool(options.get('interactive', False)):
            result = (0, {'uri': dbus.String('file://' + sys.argv[1])})
        else:
            result = (2, dbus.Dictionary({}, signature='sv'))
        GLib.timeout_add(200, lambda: request.Response(*result) and False)
        return dbus.ObjectPath(path)


name = dbus.service.BusName('org.freedesktop.portal.Desktop', bus)
Portal(bus, '/org/freedesktop/portal/desktop')
print('ready', flush=True)
GLib.MainLoop().run()
