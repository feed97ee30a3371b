#!/usr/bin/python3
"""The object's published D-Bus interface and what the stand-in answers to
Introspect on its object path describe the same interface: the same members,
types, argument directions, property access and standard annotations. And the
stand-in answers as it describes itself to the bus's tools: GetAll gives each
interface's properties.

    interface_test.py INTERFACE_XML STANDIN_SERVICE_DIR

STANDIN_SERVICE_DIR holds the build tree's activation file for the stand-in.
Both descriptions are read with GLib's introspection parser, the one the bus's
own tools (gdbus) use.
"""

import os
import sys
import tempfile

from gi.repository import Gio, GLib

SERVICE = 'VeruVeve.SetupConfig'
PATH = '/VeruVeve/SetupConfig'


def described(interface):
    """What a caller relies on: members, types, directions, access and the
    standard annotations (a property's change signal, a method's reply), not
    names of arguments or documentation."""
    def args(arguments, direction):
        return [(direction, arg.signature) for arg in arguments or []]

    def standard(annotations):
        return {a.key: a.value for a in annotations or []
                if a.key.startswith('org.freedesktop.DBus.')}

    return {
        'name': interface.name,
        'standard': standard(interface.annotations),
        'methods': {m.name: (args(m.in_args, 'in') + args(m.out_args, 'out'),
                             standard(m.annotations)) for m in interface.methods},
        'signals': {s.name: (args(s.args, 'out'), standard(s.annotations))
                    for s in interface.signals},
        'properties': {p.name: (p.signature, int(p.flags), standard(p.annotations))
                       for p in interface.properties},
    }


def main(published_file, service_dir):
    with open(published_file, encoding='utf-8') as f:
        published = Gio.DBusNodeInfo.new_for_xml(f.read())
    assert [i.name for i in published.interfaces] == [SERVICE], \
        [i.name for i in published.interfaces]

    with tempfile.TemporaryDirectory() as folder:
        # The stand-in, started by the bus, inherits this environment.
        os.environ['XDG_STATE_HOME'] = folder
        bus = Gio.TestDBus.new(Gio.TestDBusFlags.NONE)
        bus.add_service_dir(os.path.abspath(service_dir))
        bus.up()
        try:
            connection = Gio.DBusConnection.new_for_address_sync(
                bus.get_bus_address(),
                Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            reply = connection.call_sync(
                SERVICE, PATH, 'org.freedesktop.DBus.Introspectable', 'Introspect', None,
                GLib.VariantType.new('(s)'), Gio.DBusCallFlags.NONE, 10000, None)
            served = Gio.DBusNodeInfo.new_for_xml(reply.unpack()[0])
            # The bus's tools show each interface with its properties' values.
            for interface in served.interfaces:
                values = connection.call_sync(
                    SERVICE, PATH, 'org.freedesktop.DBus.Properties', 'GetAll',
                    GLib.Variant('(s)', (interface.name,)), GLib.VariantType.new('(a{sv})'),
                    Gio.DBusCallFlags.NONE, 10000, None).unpack()[0]
                assert sorted(values) == sorted(p.name for p in interface.properties), \
                    (interface.name, values)
            connection.close_sync(None)
            with open(os.path.join(folder, 'varnik-setupconfig-standin', 'calls'),
                      encoding='utf-8') as calls:
                assert calls.read() == 'GetAll\n', 'calls other than GetAll recorded'
        finally:
            bus.down()

    ours = served.lookup_interface(SERVICE)
    assert ours is not None, [i.name for i in served.interfaces]
    assert described(ours) == described(published.interfaces[0]), \
        (described(ours), described(published.interfaces[0]))


if __name__ == '__main__':
    main(*sys.argv[1:])
    print('interface_test: passed')
