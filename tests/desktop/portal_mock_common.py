'''What the mock portals share: answers through Request objects, and the registry a host program
names itself to before its first portal call.'''

import dbus
from gi.repository import GLib

# What python3-dbusmock reads of a template, and the interface of the tests' own methods.
BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
SYSTEM_BUS = False
MOCK_IFACE = 'org.freedesktop.portal.Mock'
REQUEST_IFACE = 'org.freedesktop.portal.Request'
REGISTRY_IFACE = 'org.freedesktop.host.portal.Registry'

# The application id each bus name registered.
apps = {}


def sender_path(sender, token):
    return '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), token)


def session_path(sender, options):
    return '/org/freedesktop/portal/desktop/session/%s/%s' % (
        sender[1:].replace('.', '_'), options['session_handle_token'])


def respond(mock, path, code, results):
    '''Answers after the call has returned, as the real portal does.'''
    def emit():
        mock.EmitSignalDetailed(REQUEST_IFACE, 'Response', 'ua{sv}',
                                [dbus.UInt32(code), dbus.Dictionary(results, signature='sv')],
                                {'path': path})
        return False
    GLib.timeout_add(20, emit)
    return dbus.ObjectPath(path)


def require_app(sender):
    '''A desktop keeps what it allows per application: the program must have said who it is
    (with the id of its desktop file).'''
    if apps.get(sender) != 'vesk-voice':
        raise dbus.exceptions.DBusException('no application id',
                                            name='org.freedesktop.portal.Error.NotAllowed')


@dbus.service.method(REGISTRY_IFACE, in_signature='sa{sv}', out_signature='', sender_keyword='sender')
def Register(self, app_id, options, sender=None):
    if sender in apps:
        raise dbus.exceptions.DBusException('already registered',
                                            name='org.freedesktop.portal.Error.Failed')
    apps[sender] = str(app_id)
