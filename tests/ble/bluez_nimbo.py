'''An emulated org.bluez (python3-dbusmock template) for the QtBluetooth adapter's tests: adapter hci0
and Low Energy devices; AddDevice(nimbo=True) carries the sensor's GATT profile and notifies what Stream
queues. Where Qt can tell, it behaves as bluetoothd 5.66: RSSI exists only while a device advertises
and the adapter discovers; Connect exports the GATT objects before ServicesResolved; ReadValue also
emits PropertiesChanged(Value); CCC writes are refused. Controls are org.bluez.Mock methods on /.
'''

import dbus
import dbus.service
from gi.repository import GLib

from dbusmock import OBJECT_MANAGER_IFACE, mockobject

BUS_NAME = 'org.bluez'
MAIN_OBJ = '/'
MAIN_IFACE = 'org.bluez.Mock'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

ADAPTER_IFACE = 'org.bluez.Adapter1'
DEVICE_IFACE = 'org.bluez.Device1'
SERVICE_IFACE = 'org.bluez.GattService1'
CHAR_IFACE = 'org.bluez.GattCharacteristic1'
DESC_IFACE = 'org.bluez.GattDescriptor1'
ADAPTER_PATH = '/org/bluez/hci0'
BASE = '-0000-1000-8000-00805f9b34fb'

# (service, [(characteristic, flags, initial value)]) in handle order.
NIMBO_PROFILE = [
    ('180d', [('2a37', ['notify'], b''), ('2a38', ['read'], b'\x01'), ('2a39', ['write'], b'')]),
    ('180a', [('2a29', ['read'], b'Nimbo Medical')]),
    ('180f', [('2a19', ['read', 'notify'], b'\x57')]),
]

STATE = {
    'mock': None,
    'fault': '',        # '' | 'error': how every emulated call is answered
    'discovering': False,
    'powered': True,
    'devices': {},      # path -> Device
}


def full_uuid(short):
    return f'0000{short}{BASE}'


class Device:
    '''One emulated peripheral and what it saw.'''

    def __init__(self, path, nimbo):
        self.path = path
        self.nimbo = nimbo
        self.in_range = False
        self.rssi = -60
        self.connected = False
        self.connect_mode = 'ok'    # 'ok' | 'fail' | 'vanish'
        self.connect_delay = 0.0
        self.refused = set()        # 'read:2a38', 'write:2a39'
        self.values = {}            # short uuid -> bytes (read values)
        self.queue = []             # packets waiting to be notified
        self.interval = 0.112
        self.timer = None
        self.notifying = set()
        self.gatt_paths = []
        self.char_paths = {}        # short uuid -> path
        self.stats = {'connects': 0, 'writes': [], 'write-types': [], 'reads': {}}


def mock():
    return STATE['mock']


def obj(path):
    return mockobject.objects[path]


def emit_changed(path, iface, changed, invalidated=()):
    obj(path).EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                         [iface, dbus.Dictionary(changed, signature='sv'), dbus.Array(invalidated, signature='s')])


def set_props(path, iface, changed):
    props = obj(path).props[iface]
    for name, value in changed.items():
        props[name] = value
    emit_changed(path, iface, changed)


def drop_prop(path, iface, name):
    props = obj(path).props[iface]
    if name in props:
        del props[name]
        emit_changed(path, iface, {}, [name])


def interfaces_added(path):
    mock().EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                      [dbus.ObjectPath(path), obj(path).props])


def interfaces_removed(path):
    ifaces = [i for i in obj(path).props.keys()]
    mock().RemoveObject(path)
    mock().EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                      [dbus.ObjectPath(path), dbus.Array(ifaces, signature='s')])


def expose(target, iface, name, in_sig, out_sig, handler):
    '''Puts handler(target, *args, ok, fail) on target as an asynchronously answered method.'''

    def method(self, *args, **callbacks):
        ok, fail = callbacks['ok'], callbacks['fail']
        if STATE['fault'] == 'error':
            fail(dbus.exceptions.DBusException('Operation failed (emulated)', name='org.bluez.Error.Failed'))
            return
        try:
            handler(self, *args, ok=ok, fail=fail)
        except dbus.exceptions.DBusException as error:
            fail(error)

    # As dbusmock does for its own methods: the signature and callbacks are set by hand, since
    # dbus-python cannot read them off a function taking *args.
    wrapped = dbus.service.method(iface, out_signature=out_sig)(method)
    wrapped.__name__ = name
    wrapped._dbus_in_signature = in_sig
    wrapped._dbus_args = [f'arg{i}' for i in range(len(dbus.Signature(in_sig)))]
    wrapped._dbus_async_callbacks = ('ok', 'fail')
    target.methods.setdefault(iface, {})[name] = (in_sig, out_sig, '', wrapped)


def refuse(name, text):
    raise dbus.exceptions.DBusException(text, name='org.bluez.Error.' + name)


# The adapter ------------------------------------------------------------------------------------

def discovering_changed(on):
    STATE['discovering'] = on
    set_props(ADAPTER_PATH, ADAPTER_IFACE, {'Discovering': dbus.Boolean(on, variant_level=1)})
    for device in list(STATE['devices'].values()):
        refresh_rssi(device)


def start_discovery(_adapter, ok, fail):
    if not STATE['powered']:
        refuse('NotReady', 'Resource Not Ready')
    if not STATE['discovering']:
        discovering_changed(True)
    ok()


def stop_discovery(_adapter, ok, fail):
    if not STATE['discovering']:
        refuse('Failed', 'No discovery started')
    discovering_changed(False)
    ok()


def set_discovery_filter(_adapter, _filter, ok, fail):
    ok()


def remove_device(_adapter, path, ok, fail):
    if path not in STATE['devices']:
        refuse('DoesNotExist', 'Does Not Exist')
    forget(STATE['devices'][path])
    ok()


def add_adapter():
    address = '00:1A:7D:DA:71:13'
    mock().AddObject(ADAPTER_PATH, ADAPTER_IFACE, {
        'Address': dbus.String(address, variant_level=1),
        'Name': dbus.String('velorin-test', variant_level=1),
        'Alias': dbus.String('velorin-test', variant_level=1),
        'Powered': dbus.Boolean(STATE['powered'], variant_level=1),
        'Discoverable': dbus.Boolean(False, variant_level=1),
        'Pairable': dbus.Boolean(True, variant_level=1),
        'Discovering': dbus.Boolean(False, variant_level=1),
        'UUIDs': dbus.Array([full_uuid('1800'), full_uuid('1801')], signature='s', variant_level=1),
    }, [])
    adapter = obj(ADAPTER_PATH)
    expose(adapter, ADAPTER_IFACE, 'StartDiscovery', '', '', start_discovery)
    expose(adapter, ADAPTER_IFACE, 'StopDiscovery', '', '', stop_discovery)
    expose(adapter, ADAPTER_IFACE, 'SetDiscoveryFilter', 'a{sv}', '', set_discovery_filter)
    expose(adapter, ADAPTER_IFACE, 'RemoveDevice', 'o', '', remove_device)
    interfaces_added(ADAPTER_PATH)


# Devices ----------------------------------------------------------------------------------------

def device_of(path):
    device = STATE['devices'].get(str(path))
    if device is None:
        raise dbus.exceptions.DBusException('No such device ' + str(path), name='org.bluez.Mock.NoSuchDevice')
    return device


def refresh_rssi(device):
    '''Heard only while it advertises and we listen.'''
    if device.path not in mockobject.objects:
        return
    heard = device.in_range and not device.connected and STATE['discovering'] and STATE['powered']
    if heard:
        set_props(device.path, DEVICE_IFACE, {'RSSI': dbus.Int16(device.rssi, variant_level=1)})
    else:
        drop_prop(device.path, DEVICE_IFACE, 'RSSI')


def connect(device_obj, ok, fail):
    device = device_of(device_obj.path)
    device.stats['connects'] += 1
    if device.connected:
        refuse('AlreadyConnected', 'Already Connected')
    if not STATE['powered']:
        refuse('NotReady', 'Resource Not Ready')
    mode = device.connect_mode
    if not device.in_range:
        mode = 'fail'   # a device that does not advertise is never reached

    def answer():
        if mode == 'fail' or not device.in_range or not STATE['powered'] or device.path not in STATE['devices']:
            fail(dbus.exceptions.DBusException('le-connection-abort-by-local', name='org.bluez.Error.Failed'))
        else:
            link_up(device)
            ok()
            if mode == 'vanish':  # gone again while the services are being looked at
                GLib.timeout_add(20, lambda: device.path in STATE['devices'] and forget(device) and False)
        return False

    delay = device.connect_delay if device.in_range else max(device.connect_delay, 2.0)
    if delay > 0:
        GLib.timeout_add(int(delay * 1000), answer)
    else:
        answer()


def disconnect(device_obj, ok, fail):
    device = device_of(device_obj.path)
    if device.connected:
        link_down(device)
    ok()


def link_up(device):
    device.connected = True
    refresh_rssi(device)
    set_props(device.path, DEVICE_IFACE, {'Connected': dbus.Boolean(True, variant_level=1)})
    if device.nimbo:
        export_gatt(device)
    set_props(device.path, DEVICE_IFACE, {'ServicesResolved': dbus.Boolean(True, variant_level=1)})


def link_down(device):
    if not device.connected:
        return
    device.connected = False
    device.notifying.clear()
    stop_stream(device)
    set_props(device.path, DEVICE_IFACE, {'ServicesResolved': dbus.Boolean(False, variant_level=1)})
    for path in reversed(device.gatt_paths):
        interfaces_removed(path)
    device.gatt_paths = []
    device.char_paths = {}
    set_props(device.path, DEVICE_IFACE, {'Connected': dbus.Boolean(False, variant_level=1)})
    refresh_rssi(device)


def forget(device):
    link_down(device)
    del STATE['devices'][device.path]
    interfaces_removed(device.path)


def new_device(address, name, nimbo):
    path = ADAPTER_PATH + '/dev_' + address.replace(':', '_').upper()
    if path in STATE['devices']:
        raise dbus.exceptions.DBusException('Exists ' + path, name='org.bluez.Mock.Exists')
    props = {
        'Address': dbus.String(address, variant_level=1),
        'AddressType': dbus.String('random', variant_level=1),
        'Alias': dbus.String(name if name else address.replace(':', '-'), variant_level=1),
        'Paired': dbus.Boolean(False, variant_level=1),
        'Trusted': dbus.Boolean(False, variant_level=1),
        'Connected': dbus.Boolean(False, variant_level=1),
        'ServicesResolved': dbus.Boolean(False, variant_level=1),
        'UUIDs': dbus.Array([], signature='s', variant_level=1),
        'Adapter': dbus.ObjectPath(ADAPTER_PATH, variant_level=1),
    }
    if name:
        props['Name'] = dbus.String(name, variant_level=1)
    mock().AddObject(path, DEVICE_IFACE, props, [])
    device = Device(path, nimbo)
    STATE['devices'][path] = device
    target = obj(path)
    expose(target, DEVICE_IFACE, 'Connect', '', '', connect)
    expose(target, DEVICE_IFACE, 'Disconnect', '', '', disconnect)
    interfaces_added(path)
    return device


# GATT -------------------------------------------------------------------------------------------

def export_gatt(device):
    handle = 0x000a
    uuids = []
    for service_uuid, characteristics in NIMBO_PROFILE:
        service_path = f'{device.path}/service{handle:04x}'
        mock().AddObject(service_path, SERVICE_IFACE, {
            'UUID': dbus.String(full_uuid(service_uuid), variant_level=1),
            'Device': dbus.ObjectPath(device.path, variant_level=1),
            'Primary': dbus.Boolean(True, variant_level=1),
            'Includes': dbus.Array([], signature='o', variant_level=1),
            'Handle': dbus.UInt16(handle, variant_level=1),
        }, [])
        interfaces_added(service_path)
        device.gatt_paths.append(service_path)
        uuids.append(full_uuid(service_uuid))
        handle += 1
        for char_uuid, flags, initial in characteristics:
            char_path = f'{service_path}/char{handle:04x}'
            props = {
                'UUID': dbus.String(full_uuid(char_uuid), variant_level=1),
                'Service': dbus.ObjectPath(service_path, variant_level=1),
                'Value': dbus.Array(device.values.get(char_uuid, initial), signature='y', variant_level=1),
                'Flags': dbus.Array(flags, signature='s', variant_level=1),
                'Handle': dbus.UInt16(handle + 1, variant_level=1),
                'MTU': dbus.UInt16(247, variant_level=1),
            }
            if 'notify' in flags:
                props['Notifying'] = dbus.Boolean(False, variant_level=1)
                props['NotifyAcquired'] = dbus.Boolean(False, variant_level=1)
            mock().AddObject(char_path, CHAR_IFACE, props, [])
            target = obj(char_path)
            target.short_uuid = char_uuid
            target.device = device
            expose(target, CHAR_IFACE, 'ReadValue', 'a{sv}', 'ay', read_value)
            expose(target, CHAR_IFACE, 'WriteValue', 'aya{sv}', '', write_value)
            expose(target, CHAR_IFACE, 'StartNotify', '', '', start_notify)
            expose(target, CHAR_IFACE, 'StopNotify', '', '', stop_notify)
            interfaces_added(char_path)
            device.gatt_paths.append(char_path)
            device.char_paths[char_uuid] = char_path
            handle += 2
            if 'notify' in flags:
                desc_path = f'{char_path}/desc{handle:04x}'
                mock().AddObject(desc_path, DESC_IFACE, {
                    'UUID': dbus.String(full_uuid('2902'), variant_level=1),
                    'Characteristic': dbus.ObjectPath(char_path, variant_level=1),
                    'Value': dbus.Array(b'\x00\x00', signature='y', variant_level=1),
                    'Handle': dbus.UInt16(handle, variant_level=1),
                }, [])
                expose(obj(desc_path), DESC_IFACE, 'ReadValue', 'a{sv}', 'ay',
                       lambda _o, _opts, ok, fail: ok(dbus.Array(b'\x00\x00', signature='y')))
                expose(obj(desc_path), DESC_IFACE, 'WriteValue', 'aya{sv}', '',
                       lambda _o, _v, _opts, ok, fail: refuse('NotPermitted', 'Write to CCC not permitted'))
                interfaces_added(desc_path)
                device.gatt_paths.append(desc_path)
                handle += 1
    set_props(device.path, DEVICE_IFACE, {'UUIDs': dbus.Array(uuids, signature='s', variant_level=1)})


def linked(characteristic):
    device = characteristic.device
    if not device.connected or characteristic.path not in mockobject.objects:
        refuse('NotConnected', 'Not Connected')
    return device


def read_value(characteristic, _options, ok, fail):
    device = linked(characteristic)
    uuid = characteristic.short_uuid
    device.stats['reads'][uuid] = device.stats['reads'].get(uuid, 0) + 1
    if 'read:' + uuid in device.refused:
        refuse('NotPermitted', 'Read not permitted')
    value = dbus.Array(device.values.get(uuid, bytes(characteristic.props[CHAR_IFACE]['Value'])), signature='y')
    ok(value)
    # bluetoothd keeps the value it read as the characteristic's property, and says so.
    set_props(characteristic.path, CHAR_IFACE, {'Value': dbus.Array(value, signature='y', variant_level=1)})


def write_value(characteristic, value, options, ok, fail):
    device = linked(characteristic)
    device.stats['writes'].append(bytes(value))
    device.stats['write-types'].append(str(options.get('type', '')))
    if 'write:' + characteristic.short_uuid in device.refused:
        refuse('NotPermitted', 'Write not permitted')
    ok()


def start_notify(characteristic, ok, fail):
    device = linked(characteristic)
    uuid = characteristic.short_uuid
    device.notifying.add(uuid)
    set_props(characteristic.path, CHAR_IFACE, {'Notifying': dbus.Boolean(True, variant_level=1)})
    ok()
    if uuid == '2a37':
        schedule_stream(device)


def stop_notify(characteristic, ok, fail):
    device = linked(characteristic)
    device.notifying.discard(characteristic.short_uuid)
    set_props(characteristic.path, CHAR_IFACE, {'Notifying': dbus.Boolean(False, variant_level=1)})
    ok()


def notify(device, uuid, value):
    path = device.char_paths.get(uuid)
    if path and uuid in device.notifying:
        emit_changed(path, CHAR_IFACE, {'Value': dbus.Array(value, signature='y', variant_level=1)})
        return True
    return False


def stop_stream(device):
    if device.timer is not None:
        GLib.source_remove(device.timer)
        device.timer = None


def schedule_stream(device):
    if device.timer is not None or not device.queue or '2a37' not in device.notifying:
        return

    def tick():
        # Without an interval the queue goes out in bursts, a main-loop turn apart.
        count = 1 if device.interval > 0 else 64
        while count and device.queue and device.connected:
            if notify(device, '2a37', device.queue[0]):
                device.queue.pop(0)
            count -= 1
        if device.queue and device.connected and '2a37' in device.notifying:
            return True
        device.timer = None
        return False

    device.timer = GLib.timeout_add(max(1, int(device.interval * 1000)), tick)


# Controls ---------------------------------------------------------------------------------------

@dbus.service.method(MAIN_IFACE, in_signature='ssb', out_signature='o')
def AddDevice(_self, address, name, nimbo):
    '''A Low Energy device that is known but not heard until SetInRange.'''
    return dbus.ObjectPath(new_device(address, name, nimbo).path)


@dbus.service.method(MAIN_IFACE, in_signature='us', out_signature='')
def AddCrowd(_self, count, name):
    '''count devices named name, all in range: a busy place.'''
    for i in range(count):
        device = new_device(f'C0:{(i >> 16) & 0xff:02X}:{(i >> 8) & 0xff:02X}:{i & 0xff:02X}:00:01', name, False)
        device.in_range = True
        refresh_rssi(device)


@dbus.service.method(MAIN_IFACE, in_signature='obn', out_signature='')
def SetInRange(_self, path, in_range, rssi):
    '''In range, a device advertises (heard while we discover); out of range its link drops.'''
    device = device_of(path)
    device.in_range = bool(in_range)
    device.rssi = int(rssi)
    if not device.in_range:
        link_down(device)
    refresh_rssi(device)


@dbus.service.method(MAIN_IFACE, in_signature='o', out_signature='')
def Link(_self, path):
    '''A link that nobody asked for now: left over from a program that ended without letting go.'''
    device = device_of(path)
    if not device.connected:
        link_up(device)


@dbus.service.method(MAIN_IFACE, in_signature='o', out_signature='')
def DropLink(_self, path):
    link_down(device_of(path))


@dbus.service.method(MAIN_IFACE, in_signature='o', out_signature='')
def Forget(_self, path):
    forget(device_of(path))


@dbus.service.method(MAIN_IFACE, in_signature='b', out_signature='')
def SetPowered(_self, powered):
    STATE['powered'] = bool(powered)
    if not powered:
        for device in list(STATE['devices'].values()):
            link_down(device)
        if STATE['discovering']:
            discovering_changed(False)
    set_props(ADAPTER_PATH, ADAPTER_IFACE, {'Powered': dbus.Boolean(powered, variant_level=1)})


@dbus.service.method(MAIN_IFACE, in_signature='osd', out_signature='')
def SetConnect(_self, path, mode, delay):
    '''How Connect answers after delay seconds: ok, fail or vanish (connects, then the device goes).'''
    device = device_of(path)
    device.connect_mode = str(mode)
    device.connect_delay = float(delay)


@dbus.service.method(MAIN_IFACE, in_signature='osb', out_signature='')
def Refuse(_self, path, what, refused):
    '''what is read:UUID or write:UUID (short, lower case).'''
    device = device_of(path)
    if refused:
        device.refused.add(str(what))
    else:
        device.refused.discard(str(what))


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='')
def SetFault(_self, fault):
    '''How every emulated call is answered from now on: '' (as usual) or error.'''
    STATE['fault'] = str(fault)


@dbus.service.method(MAIN_IFACE, in_signature='osay', out_signature='')
def SetValue(_self, path, uuid, value):
    '''The value the next reads of a characteristic give.'''
    device_of(path).values[str(uuid)] = bytes(value)


@dbus.service.method(MAIN_IFACE, in_signature='oaayd', out_signature='')
def Stream(_self, path, packets, interval):
    '''Queues 2A37 packets, sent one per interval seconds (0: in bursts) while notifying.'''
    device = device_of(path)
    device.queue.extend(bytes(p) for p in packets)
    device.interval = float(interval)
    schedule_stream(device)


@dbus.service.method(MAIN_IFACE, in_signature='o', out_signature='a{sv}')
def Stats(_self, path):
    device = device_of(path)
    s = device.stats
    return dbus.Dictionary({
        'connects': dbus.Int32(s['connects'], variant_level=1),
        'writes': dbus.Array([dbus.Array(w, signature='y') for w in s['writes']], signature='ay', variant_level=1),
        'write-types': dbus.Array(s['write-types'], signature='s', variant_level=1),
        'reads': dbus.Dictionary({k: dbus.Int32(v) for k, v in s['reads'].items()}, signature='si',
                                 variant_level=1),
    }, signature='sv')


def managed_objects(_manager, ok, fail):
    ok(dbus.Dictionary({dbus.ObjectPath(k): o.props for k, o in mockobject.objects.items() if k != '/'},
                       signature='oa{sa{sv}}'))


def load(mock_object, _parameters):
    STATE['mock'] = mock_object
    expose(mock_object, OBJECT_MANAGER_IFACE, 'GetManagedObjects', '', 'a{oa{sa{sv}}}', managed_objects)
    add_adapter()
