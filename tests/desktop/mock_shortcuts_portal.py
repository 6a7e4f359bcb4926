'''A GlobalShortcuts portal on a private session bus, for python3-dbusmock: it keeps the bound
shortcuts for the whole run, as a desktop keeps them between starts of an application. Tests
press and release the shortcut, and steer the desktop, through the Mock interface.
'''

import os
import sys

import dbus

# The template is loaded from its path, not as a package: its folder holds the shared part.
# Register, like every D-Bus method in the template's namespace, becomes one of the mock's.
sys.path.insert(0, os.path.dirname(__file__))
from portal_mock_common import (  # noqa: E402  pylint: disable=wrong-import-position
    BUS_NAME, MAIN_OBJ, MOCK_IFACE, SYSTEM_BUS, Register, require_app, respond, sender_path,
    session_path)

MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'

state = {'trigger': 'Ctrl+Alt+Space', 'bound': {}, 'sessions': [], 'deny': False}


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'version': dbus.UInt32(1)}, signature='sv'))


def shortcut_list():
    return dbus.Array([dbus.Struct((sid, dbus.Dictionary(
        {'description': desc, 'trigger_description': state['trigger']}, signature='sv')))
        for sid, desc in state['bound'].items()], signature='(sa{sv})')


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    require_app(sender)
    session = session_path(sender, options)
    state['sessions'].append(session)
    return respond(self, sender_path(sender, options['handle_token']), 0,
                   {'session_handle': dbus.String(session)})


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o',
                     sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
    if state['deny']:
        return respond(self, sender_path(sender, options['handle_token']), 1, {})
    for sid, props in shortcuts:
        state['bound'][str(sid)] = str(props.get('description', ''))
    return respond(self, sender_path(sender, options['handle_token']), 0,
                   {'shortcuts': shortcut_list()})


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def ListShortcuts(self, session, options, sender=None):
    return respond(self, sender_path(sender, options['handle_token']), 0,
                   {'shortcuts': shortcut_list()})


def activation(self, name, sid):
    for session in state['sessions']:
        self.EmitSignal(MAIN_IFACE, name, 'osta{sv}',
                        [dbus.ObjectPath(session), sid, dbus.UInt64(0),
                         dbus.Dictionary({}, signature='sv')])


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def Press(self, sid):
    activation(self, 'Activated', sid)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def Release(self, sid):
    activation(self, 'Deactivated', sid)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def Forget(self, deny):
    '''Forgets what was bound; with deny, the user then closes the desktop's dialog.'''
    state['bound'].clear()
    state['deny'] = bool(deny)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def ChangeTrigger(self, trigger):
    state['trigger'] = trigger
    for session in state['sessions']:
        self.EmitSignal(MAIN_IFACE, 'ShortcutsChanged', 'oa(sa{sv})',
                        [dbus.ObjectPath(session), shortcut_list()])
