'''A GlobalShortcuts portal on a private session bus, for python3-dbusmock.

Answers through Request objects after the call returns, as the real portal does, and keeps the
bound shortcuts for the whole run, as a desktop keeps them between starts of an application.
Parameter "trigger" is the key the desktop assigns. Tests press and release a shortcut with the
methods of the org.freedesktop.portal.Mock interface.
'''

import dbus
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False
REQUEST_IFACE = 'org.freedesktop.portal.Request'
REGISTRY_IFACE = 'org.freedesktop.host.portal.Registry'
MOCK_IFACE = 'org.freedesktop.portal.Mock'

state = {'trigger': 'Ctrl+Alt+Space', 'bound': {}, 'sessions': [], 'deny': False, 'apps': {}}


def load(mock, parameters):
    state['trigger'] = parameters.get('trigger', state['trigger'])
    state['deny'] = bool(parameters.get('deny', False))
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'version': dbus.UInt32(1)}, signature='sv'))


def sender_path(sender, token):
    return '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), token)


def respond(mock, path, code, results):
    def emit():
        mock.EmitSignalDetailed(REQUEST_IFACE, 'Response', 'ua{sv}',
                                [dbus.UInt32(code), dbus.Dictionary(results, signature='sv')],
                                {'path': path})
        return False
    GLib.timeout_add(20, emit)
    return dbus.ObjectPath(path)


def shortcut_list():
    return dbus.Array([dbus.Struct((sid, dbus.Dictionary(
        {'description': desc, 'trigger_description': state['trigger']}, signature='sv')))
        for sid, desc in state['bound'].items()], signature='(sa{sv})')


@dbus.service.method(REGISTRY_IFACE, in_signature='sa{sv}', out_signature='', sender_keyword='sender')
def Register(self, app_id, options, sender=None):
    if sender in state['apps']:
        raise dbus.exceptions.DBusException('already registered',
                                            name='org.freedesktop.portal.Error.Failed')
    state['apps'][sender] = str(app_id)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    # As a desktop that keeps shortcuts per application does: a host program must say who it is
    # (with the id of its desktop file) before its first portal call.
    if state['apps'].get(sender) != 'vesk-voice':
        raise dbus.exceptions.DBusException('no application id',
                                            name='org.freedesktop.portal.Error.NotAllowed')
    session = '/org/freedesktop/portal/desktop/session/%s/%s' % (
        sender[1:].replace('.', '_'), options['session_handle_token'])
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
