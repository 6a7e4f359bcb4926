'''A RemoteDesktop portal on a private session bus, for python3-dbusmock.

Start asks the user unless SelectDevices brought the restore token handed out last (each Start
hands out a new one). Like the real portal, which handles each call on a thread of its own, key
calls are handled after a random delay each: calls sent without waiting for the previous answer
overtake each other. The Clipboard portal (version 1, xdg-desktop-portal 1.18) serves a session
that asked for it before Start. The desktop's clipboard is one: Control+V pressed through a
session is the focused client pasting, from the user's copy or through SelectionTransfer.
Tests steer and read all this through the Mock interface (Set, State, Copy, Paste).
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
    BUS_NAME, MAIN_OBJ, MOCK_IFACE, SYSTEM_BUS, Register, require_app, respond, sender_path,
    session_path)

MAIN_IFACE = 'org.freedesktop.portal.RemoteDesktop'
SESSION_IFACE = 'org.freedesktop.portal.Session'
CLIPBOARD_IFACE = 'org.freedesktop.portal.Clipboard'
TEXT = 'text/plain;charset=utf-8'


def error(name, message):
    return dbus.exceptions.DBusException(message, name='org.freedesktop.' + name)


def closed(mock, session):
    mock.EmitSignalDetailed(SESSION_IFACE, 'Closed', 'a{sv}', [dbus.Dictionary({}, signature='sv')],
                            {'path': str(session)})


# What Set steers: answer (0 allows, 1 declines, -1 leaves the dialog open), refuse_after (the
# key call after the next n fails, as when a device goes away), offer_clipboard (0: as older
# portals, no Clipboard portal).
state = {'answer': 0, 'token': None, 'issued': 0, 'asked': 0, 'sessions': {},
         'keys': [], 'down': set(), 'refuse_after': -2,
         'offer_clipboard': True, 'owner': None, 'clip': {}, 'serial': 0, 'transfers': {},
         'pasted': []}


def load(mock, parameters):
    mock_object[0] = mock
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary(
        {'version': dbus.UInt32(2), 'AvailableDeviceTypes': dbus.UInt32(7)}, signature='sv'))
    mock.AddProperties(CLIPBOARD_IFACE, dbus.Dictionary({'version': dbus.UInt32(1)},
                                                        signature='sv'))


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
        GLib.timeout_add(40, lambda: closed(self, session))
        return respond(self, path, code, {})
    entry['started'] = True
    entry['clipboard'] = entry.get('clipboard_requested', False)
    state['issued'] += 1
    state['token'] = 'token-%d' % state['issued']
    return respond(self, path, 0, {'devices': dbus.UInt32(1),
                                   'clipboard_enabled': dbus.Boolean(entry['clipboard']),
                                   'restore_token': dbus.String(state['token'])})


KEY_LEFTCTRL = 29
KEY_V = 47
# The mock object, for signals sent from timers.
mock_object = [None]


def clipboard_session(session):
    entry = state['sessions'].get(str(session))
    if not entry or not entry.get('clipboard'):
        raise error('portal.Error.NotAllowed', 'clipboard not enabled for the session')
    return entry


def owner_changed(mock, mime_types):
    for session, entry in state['sessions'].items():
        if entry.get('clipboard'):
            mock.EmitSignal(CLIPBOARD_IFACE, 'SelectionOwnerChanged', 'oa{sv}', [
                dbus.ObjectPath(session), dbus.Dictionary({
                    'mime_types': dbus.Array(mime_types, signature='s'),
                    'session_is_owner': dbus.Boolean(session == state['owner'])},
                    signature='sv')])


def paste(mock):
    '''The focused client reads the clipboard as text.'''
    if state['owner'] is None:
        state['pasted'].append(state['clip'].get(TEXT, ''))
        return
    state['serial'] += 1
    state['transfers'][state['serial']] = None
    mock.EmitSignal(CLIPBOARD_IFACE, 'SelectionTransfer', 'osu',
                    [dbus.ObjectPath(state['owner']), TEXT, dbus.UInt32(state['serial'])])


def notify(session, kind, value, pressed, done, failed):
    def handle():
        if not state['sessions'].get(str(session), {}).get('started'):
            failed(error('DBus.Error.AccessDenied', 'session not started'))
            return False
        state['refuse_after'] -= 1
        if state['refuse_after'] == -1:
            failed(error('DBus.Error.Failed', 'device gone'))
            return False
        state['keys'].append('%s %d %d' % (kind, value, pressed))
        if pressed and kind == 'keycode' and int(value) == KEY_V and \
                ('keycode', KEY_LEFTCTRL) in state['down']:
            paste(mock_object[0])
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


@dbus.service.method(MOCK_IFACE, in_signature='si', out_signature='')
def Set(self, name, value):
    state[str(name)] = int(value)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='v')
def State(self, name):
    '''How often the user was asked, the keys posted ("keysym 65 1": kind, value, pressed) in the
    order handled, how many are still down, and what every paste gave.'''
    return {'asked': dbus.UInt32(state['asked']), 'down': dbus.UInt32(len(state['down'])),
            'keys': dbus.Array(state['keys'], signature='s'),
            'pasted': dbus.Array(state['pasted'], signature='s')}[str(name)]


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def ForgetKeys(self):
    state['keys'] = []
    state['down'] = set()
    state['refuse_after'] = -2
    state['pasted'] = []


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def CloseSessions(self):
    '''The desktop ends every session, as when the user stops the remote control.'''
    for session in list(state['sessions']):
        closed(self, session)
    state['sessions'].clear()


@dbus.service.method(CLIPBOARD_IFACE, in_signature='oa{sv}', out_signature='')
def RequestClipboard(self, session, options):
    if not state['offer_clipboard']:
        raise error('DBus.Error.UnknownMethod', 'No such interface')
    entry = state['sessions'][str(session)]
    if entry['started']:
        raise error('portal.Error.Failed', 'session already started')
    entry['clipboard_requested'] = True


@dbus.service.method(CLIPBOARD_IFACE, in_signature='oa{sv}', out_signature='')
def SetSelection(self, session, options):
    clipboard_session(session)
    state['owner'] = str(session)
    state['clip'] = {}
    owner_changed(self, [str(t) for t in options.get('mime_types', [])])


@dbus.service.method(CLIPBOARD_IFACE, in_signature='ou', out_signature='h')
def SelectionWrite(self, session, serial):
    clipboard_session(session)
    if int(serial) not in state['transfers'] or str(session) != state['owner']:
        raise error('portal.Error.InvalidArgument', 'no such transfer')
    read_end, write_end = os.pipe()
    received = bytearray()

    def readable(fd, condition):
        chunk = os.read(fd, 65536)
        if chunk:
            received.extend(chunk)
            return True
        os.close(fd)
        state['transfers'][int(serial)] = bytes(received)
        return False
    GLib.io_add_watch(read_end, GLib.IO_IN | GLib.IO_HUP, readable)
    fd = dbus.types.UnixFd(write_end)
    os.close(write_end)
    return fd


@dbus.service.method(CLIPBOARD_IFACE, in_signature='oub', out_signature='')
def SelectionWriteDone(self, session, serial, success):
    clipboard_session(session)
    serial = int(serial)

    def finish():
        data = state['transfers'].pop(serial, None)
        if data is None and success:
            return True  # the pipe has not been read to its end yet
        state['pasted'].append(data.decode('utf-8') if success and data is not None else '')
        return False
    GLib.timeout_add(5, finish)


@dbus.service.method(CLIPBOARD_IFACE, in_signature='os', out_signature='h')
def SelectionRead(self, session, mime_type):
    clipboard_session(session)
    if state['owner'] is not None or str(mime_type) not in state['clip']:
        raise error('portal.Error.Failed', 'no such format')
    read_end, write_end = os.pipe()
    os.write(write_end, state['clip'][str(mime_type)].encode('utf-8'))
    os.close(write_end)
    fd = dbus.types.UnixFd(read_end)
    os.close(read_end)
    return fd


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='')
def Copy(self, mime_type, text):
    '''Another program takes the clipboard (the user copies).'''
    state['owner'] = None
    state['clip'] = {str(mime_type): str(text)}
    owner_changed(self, [str(mime_type)])


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def Paste(self):
    paste(self)

