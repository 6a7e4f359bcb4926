'''A RemoteDesktop portal on a private session bus, for python3-dbusmock.

Answers through Request objects after the call returns, as the real portal does. Start "asks the
user" unless SelectDevices brought the restore token handed out last (tokens are single-use: each
Start hands out a new one); Asked() counts the questions. The keys a started session posts are kept
in the order they are handled; Keys() returns them, Down() the keys still held, ForgetKeys() starts
afresh. Like the real portal, which handles each call on a thread of its own, key calls are handled
after a random delay each, so calls sent without waiting for the previous answer overtake each
other. Tests steer the user's answer with Answer(): 0 allows, 1 declines, -1 leaves the dialog open
(no answer); RefuseKey(n) fails the key call after the next n, as when a device goes away.
'''

import os
import random
import sys

import dbus
from gi.repository import GLib

# The template is loaded from its path, not as a package: its folder holds the shared part.
# Register, like every D-Bus method in the template's namespace, becomes one of the mock's.
sys.path.insert(0, os.path.dirname(__file__))
from portal_mock_common import (  # noqa: E402  pylint: disable=wrong-import-position
    Register, require_app, respond, sender_path, session_path)

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.RemoteDesktop'
SYSTEM_BUS = False
SESSION_IFACE = 'org.freedesktop.portal.Session'
MOCK_IFACE = 'org.freedesktop.portal.Mock'

state = {'answer': 0, 'token': None, 'issued': 0, 'asked': 0, 'sessions': {},
         'keys': [], 'down': set(), 'refuse_after': -2}


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary(
        {'version': dbus.UInt32(2), 'AvailableDeviceTypes': dbus.UInt32(7)}, signature='sv'))


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    require_app(sender)
    session = session_path(sender, options)
    state['sessions'][session] = {'restored': False, 'started': False}
    return respond(self, sender_path(sender, options['handle_token']), 0,
                   {'session_handle': dbus.String(session)})


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def SelectDevices(self, session, options, sender=None):
    token = options.get('restore_token')
    restored = token is not None and str(token) == state['token']
    if restored:
        state['token'] = None
    state['sessions'][str(session)]['restored'] = restored
    return respond(self, sender_path(sender, options['handle_token']), 0, {})


@dbus.service.method(MAIN_IFACE, in_signature='osa{sv}', out_signature='o', sender_keyword='sender')
def Start(self, session, parent, options, sender=None):
    path = sender_path(sender, options['handle_token'])
    entry = state['sessions'][str(session)]
    if entry['restored']:
        code = 0
    else:
        state['asked'] += 1
        code = state['answer']
        if code < 0:
            return dbus.ObjectPath(path)
    if code != 0:
        # The portal then closes the session, and says so.
        def close():
            self.EmitSignalDetailed(SESSION_IFACE, 'Closed', 'a{sv}',
                                    [dbus.Dictionary({}, signature='sv')], {'path': str(session)})
            return False
        GLib.timeout_add(40, close)
        return respond(self, path, code, {})
    entry['started'] = True
    state['issued'] += 1
    state['token'] = 'token-%d' % state['issued']
    return respond(self, path, 0, {'devices': dbus.UInt32(1),
                                   'restore_token': dbus.String(state['token'])})


def notify(session, kind, value, pressed, done, failed):
    def handle():
        if not state['sessions'].get(str(session), {}).get('started'):
            failed(dbus.exceptions.DBusException('session not started',
                                                 name='org.freedesktop.DBus.Error.AccessDenied'))
            return False
        state['refuse_after'] -= 1
        if state['refuse_after'] == -1:
            failed(dbus.exceptions.DBusException('device gone',
                                                 name='org.freedesktop.DBus.Error.Failed'))
            return False
        state['keys'].append(dbus.Struct((kind, dbus.Int32(value), dbus.UInt32(pressed))))
        if pressed:
            state['down'].add((kind, int(value)))
        else:
            state['down'].discard((kind, int(value)))
        done()
        return False
    GLib.timeout_add(random.randint(0, 8), handle)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}iu', out_signature='',
                     async_callbacks=('done', 'failed'))
def NotifyKeyboardKeysym(self, session, options, keysym, pressed, done=None, failed=None):
    notify(session, 'keysym', keysym, pressed, done, failed)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}iu', out_signature='',
                     async_callbacks=('done', 'failed'))
def NotifyKeyboardKeycode(self, session, options, keycode, pressed, done=None, failed=None):
    notify(session, 'keycode', keycode, pressed, done, failed)


@dbus.service.method(MOCK_IFACE, in_signature='i', out_signature='')
def Answer(self, code):
    state['answer'] = int(code)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='u')
def Asked(self):
    return dbus.UInt32(state['asked'])


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(siu)')
def Keys(self):
    return dbus.Array(state['keys'], signature='(siu)')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def ForgetKeys(self):
    state['keys'] = []
    state['down'] = set()
    state['refuse_after'] = -2


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(si)')
def Down(self):
    return dbus.Array([dbus.Struct((k, dbus.Int32(v))) for k, v in sorted(state['down'])],
                      signature='(si)')


@dbus.service.method(MOCK_IFACE, in_signature='i', out_signature='')
def RefuseKey(self, count):
    state['refuse_after'] = int(count)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def CloseSessions(self):
    '''The desktop ends every session, as when the user stops the remote control.'''
    for session in list(state['sessions']):
        self.EmitSignalDetailed(SESSION_IFACE, 'Closed', 'a{sv}',
                                [dbus.Dictionary({}, signature='sv')], {'path': session})
    state['sessions'].clear()
