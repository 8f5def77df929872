"""qorvcfg for Python: configurations described by a definition file, read,
queried, changed and written through the qorvcfg shared library.

    import qorvcfg
    with qorvcfg.Config("service.def") as config:
        config.read("service.conf")
        print(config["port"])                    # [8080]
        config.change("port", 8080, 8443)
        config.add("upstream", {"name": "gamma", "port": None})
        config.write("out.conf")

Values come as Python types: integer int, string str, boolean bool,
enumeration str, ipaddr an ipaddress object (IPv4Address, IPv6Address, or an
interface when a mask is set) or a str for a host name, and a structure as a
Structure, which reads like a mapping of its member items. Every failed call
raises qorvcfg.Error with the library's result code.
"""

import ctypes
import ipaddress
import os
from ctypes import byref, c_int64, c_uint32

from . import _native
from ._native import lib

__all__ = ["Config", "Structure", "Error", "result_text", "CODES"]

# Result codes by name.
CODES = {
    "Zel_OK": 0x00000000, "Zel_ESYSTEM": 0x01400000, "Zel_EEOF": 0x03200000,
    "Zel_ENOMEM": 0x03400000, "Zel_EBUSY": 0x04300000, "Zel_EINVAL": 0x04400000,
    "Zel_ENOENT": 0x05300000, "Zel_EEXIST": 0x06300000, "Zel_ENOTFOUND": 0x06400000,
    "Zel_EBADTAG": 0x07400000, "Zel_EFOREIGN": 0x09400000, "Zel_ERANGE": 0x0A400000,
}
CODE_MASK = 0xFFFC0000
_MEANINGS = {
    "Zel_OK": "success",
    "Zel_ESYSTEM": "opening, reading or writing a file failed",
    "Zel_EEOF": "end of input (internal to the reader)",
    "Zel_ENOMEM": "out of memory",
    "Zel_EBUSY": "the file is in use",
    "Zel_EINVAL": "a null argument, a record of the wrong type, or a value that is not acceptable",
    "Zel_ENOENT": "the value is not in its item's index",
    "Zel_EEXIST": "an equal value is already present, or the value is in a container",
    "Zel_ENOTFOUND": "no item of that name at this level",
    "Zel_EBADTAG": "a value index is damaged",
    "Zel_EFOREIGN": "the value does not belong to this level",
    "Zel_ERANGE": "out of the item's bounds, or the item's number of values is reached",
}
_WINDOWS_ERRORS = {
    1: "not a regular file", 2: "file not found", 3: "path not found", 4: "too many open files",
    5: "access denied", 8: "not enough memory", 19: "write-protected", 32: "sharing violation",
    33: "lock violation", 112: "disk full", 170: "busy", 206: "name too long",
    223: "file too large",
}
_NAMES = {code: name for name, code in CODES.items()}
_NUMBERED = ("Zel_ESYSTEM", "Zel_EBUSY")


def _split(code):
    """(name, Windows error number) of a code; name None when it is none of ours."""
    name = _NAMES.get(code & CODE_MASK)
    number = code & ~CODE_MASK & 0xFFFFFFFF
    if name is None or (number and name not in _NUMBERED):
        return None, 0
    return name, number


def result_text(code):
    """The name and meaning of a result code, as qorvcfg.h's Qorvcfg_ResultText gives them."""
    name, number = _split(code)
    if name is None:
        return "0x%08X: not a result code of qorvcfg" % code
    if not number:
        return "%s: %s" % (name, _MEANINGS[name])
    known = _WINDOWS_ERRORS.get(number)
    return "%s|%d: %s (Windows error %d%s)" % (name, number, _MEANINGS[name], number,
                                               ": " + known if known else "")


class Error(Exception):
    """A call that did not answer Zel_OK.

    code: the whole result code; name: its name ("Zel_ESYSTEM"); number: the
    Windows error number that Zel_ESYSTEM and Zel_EBUSY carry, else 0.
    """

    def __init__(self, code):
        super().__init__(result_text(code))
        self.code = code
        self.name, self.number = _split(code)


def _check(code):
    if code != 0:
        raise Error(code)


def _text(value):
    return None if value is None else value.decode("utf-8", "surrogateescape")


def _bytes(text):
    if isinstance(text, str):
        text = text.encode("utf-8", "surrogateescape")
    if not isinstance(text, bytes) or b"\0" in text:
        raise Error(CODES["Zel_EINVAL"])
    return text


def _mask_prefix(mask, bits):
    number = int.from_bytes(mask, "big")
    prefix = bin(number).count("1")
    return prefix if number == ((1 << bits) - 1) ^ ((1 << (bits - prefix)) - 1) else None


def _address(ip):
    if ip.form == _native.FORM_HOSTNAME:
        return _text(ip.host_name)
    if ip.form != _native.FORM_NUMERIC or ip.family not in (_native.FAMILY_V4, _native.FAMILY_V6):
        return None
    size = 4 if ip.family == _native.FAMILY_V4 else 16
    address = ipaddress.ip_address(bytes(ip.address[:size]))
    mask = bytes(ip.mask[:size])
    if not any(mask):
        return address
    prefix = _mask_prefix(mask, size * 8)
    if prefix is None:
        return address, ipaddress.ip_address(mask)
    return ipaddress.ip_interface((address, prefix))


def _python_value(record):
    payload = record.payload
    if record.type == _native.TYPE_INTEGER:
        return payload.integer
    if record.type in (_native.TYPE_STRING, _native.TYPE_ENUMERATION):
        return _text(payload.text)
    if record.type == _native.TYPE_BOOLEAN:
        return payload.boolean != 0
    if record.type == _native.TYPE_IPADDR:
        return _address(payload.ipaddr)
    return None


def _contents(record_type, value):
    """The new data for a change: (pointer, what must stay alive meanwhile)."""
    einval = Error(CODES["Zel_EINVAL"])
    if record_type == _native.TYPE_INTEGER:
        if not isinstance(value, int) or isinstance(value, bool):
            raise einval
        if not -(1 << 63) <= value < (1 << 63):
            raise Error(CODES["Zel_ERANGE"])
        number = c_int64(value)
        return ctypes.cast(byref(number), ctypes.c_void_p), number
    if record_type == _native.TYPE_BOOLEAN:
        if not isinstance(value, bool):
            raise einval
        flag = c_uint32(1 if value else 0)
        return ctypes.cast(byref(flag), ctypes.c_void_p), flag
    if record_type in (_native.TYPE_STRING, _native.TYPE_ENUMERATION):
        text = ctypes.create_string_buffer(_bytes(value))
        return ctypes.cast(text, ctypes.c_void_p), text
    if record_type == _native.TYPE_IPADDR:
        ip = _native.IpAddressValue()
        keep = None
        if isinstance(value, (str, bytes)):
            ip.form = _native.FORM_HOSTNAME
            keep = _bytes(value)
            ip.host_name = keep
        else:
            if isinstance(value, (ipaddress.IPv4Interface, ipaddress.IPv6Interface)):
                address, mask = value.ip, value.netmask.packed
            elif isinstance(value, (ipaddress.IPv4Address, ipaddress.IPv6Address)):
                address, mask = value, b""
            else:
                raise einval
            ip.form = _native.FORM_NUMERIC
            ip.family = _native.FAMILY_V4 if address.version == 4 else _native.FAMILY_V6
            for i, byte in enumerate(address.packed):
                ip.address[i] = byte
            for i, byte in enumerate(mask):
                ip.mask[i] = byte
        return ctypes.cast(byref(ip), ctypes.c_void_p), (ip, keep)
    raise einval


class _Level:
    """The items and values of one level: a Config's top level or a Structure's inside."""

    _parent = None  # the structure's record, or None for the top level

    def _live(self):
        raise NotImplementedError

    def _call(self, plain, from_data, *arguments):
        handle = self._live()
        if self._parent is None:
            return getattr(lib, plain)(handle, *arguments)
        return getattr(lib, from_data)(self._parent, *arguments)

    def _items(self):
        self._live()
        if self._parent is None:
            item = self._config._handle.contents.items
        else:
            nested = self._parent.contents.nested
            if self._parent.contents.type != _native.TYPE_STRUCTURE or nested.count == 0:
                return []
            item = nested.items[0]
        items = []
        while item:
            items.append(item.contents)
            item = item.contents.next
        return items

    def keys(self):
        """The names of the items of this level, in definition order."""
        return [_text(item.name) for item in self._items()]

    def __iter__(self):
        return iter(self.keys())

    def __len__(self):
        return len(self._items())

    def __contains__(self, name):
        return name in self.keys()

    def _records(self, name):
        key = _bytes(name)
        count = c_uint32(0)
        _check(self._call("Zel_DataGet", "Zel_DataGetFromData", key, None, byref(count)))
        if count.value == 0:
            return []
        records = (_native._RECORD * count.value)()
        capacity = count.value
        _check(self._call("Zel_DataGet", "Zel_DataGetFromData", key, records, byref(count)))
        return list(records[:min(capacity, count.value)])

    def _wrap(self, record):
        if record.contents.type == _native.TYPE_STRUCTURE:
            return Structure(self._config, record)
        return _python_value(record.contents)

    def __getitem__(self, name):
        """The item's values, greatest first, as Python values."""
        return [self._wrap(record) for record in self._records(name)]

    def default(self, name):
        """The item's default as a Python value (None for a structure or no default)."""
        record = ctypes.POINTER(_native.DefaultRecord)()
        _check(self._call("Zel_DataDefaultGet", "Zel_DataDefaultGetFromData", _bytes(name),
                          byref(record)))
        return _python_value(record.contents)

    def _find(self, name, value):
        if isinstance(value, Structure):
            value._live()
            return value._record  # the library says whether it is this level's
        for record in self._records(name):
            if record.contents.type != _native.TYPE_STRUCTURE and self._wrap(record) == value:
                return record
        raise LookupError("%s has no value %r" % (name, value))

    def _change_record(self, record, value):
        data, keep = _contents(record.contents.type, value)
        _check(self._call("Zel_DataChange", "Zel_DataChangeToData", record, data))
        del keep

    def add(self, name, value=None):
        """Adds a value made from the item's default and set to value (None keeps the
        default). For a structure, value maps member names to a value, a list of
        values, or None for the member's default; members are added before the
        structure. Gives the new value."""
        key = _bytes(name)
        record = _native._RECORD()
        _check(self._call("Zel_DataDefaultCreate", "Zel_DataDefaultCreateFromData", key,
                          byref(record)))
        if record.contents.type == _native.TYPE_STRUCTURE:
            structure = Structure(self._config, record)
            for member, contents in (value or {}).items():
                for one in contents if isinstance(contents, list) else [contents]:
                    structure.add(member, one)
        elif value is not None:
            self._change_record(record, value)
        _check(self._call("Zel_DataAdd", "Zel_DataAddToData", record))
        return self._wrap(record)

    def change(self, name, old, new):
        """Changes the item's value equal to old to new, checked against the
        item; LookupError when no value equals old. When new equals another
        value of the item, Error(Zel_EEXIST) is raised and the value leaves the
        configuration. Structure values are not changed (Zel_EINVAL): change
        their members."""
        record = self._find(name, old)
        if record.contents.type == _native.TYPE_STRUCTURE:
            raise Error(CODES["Zel_EINVAL"])
        self._change_record(record, new)

    def delete(self, name, value):
        """Takes the item's value equal to value (or that Structure) out."""
        _check(self._call("Zel_DataDel", "Zel_DataDelFromData", self._find(name, value)))


class Structure(_Level):
    """A structure value: reads like a mapping from member item names to lists
    of values, and changes its members like a Config its items. It keeps its
    Config alive; it fails with ValueError once the Config is closed or a
    failed read released it."""

    def __init__(self, config, record):
        self._config = config
        self._parent = record
        self._record = record
        self._generation = config._generation

    def _live(self):
        handle = self._config._live()
        if self._generation != self._config._generation:
            raise ValueError("a failed read released this value")
        return handle

    def __eq__(self, other):
        return isinstance(other, Structure) and ctypes.addressof(
            self._record.contents) == ctypes.addressof(other._record.contents)

    def __hash__(self):
        return ctypes.addressof(self._record.contents)

    def __repr__(self):
        if self._generation != self._config._generation or self._config._handle is None:
            return "<Structure (released)>"
        return "<Structure %r>" % {name: self[name] for name in self.keys()}


class Config(_Level):
    """A configuration made from a definition file. Use it in a with block, or
    call close(); the handle is also released when the Config is collected."""

    def __init__(self, definition):
        self._handle = None
        self._generation = 0
        self._config = self
        handle = _native._HANDLE()
        _check(lib.Zel_ConfigCreate(_path(definition), byref(handle)))
        self._handle = handle

    def _live(self):
        if self._handle is None:
            raise ValueError("the configuration is closed")
        return self._handle

    def _reading(self, code):
        if code & CODE_MASK in (CODES["Zel_EEXIST"], CODES["Zel_ENOMEM"], CODES["Zel_ENOTFOUND"]):
            # A read that fails while loading releases every value.
            self._generation += 1
        _check(code)

    def read(self, path):
        """Adds the values of a data file."""
        self._reading(lib.Zel_ConfigRead(_path(path), self._live()))

    def read_text(self, text):
        """Adds the values of a data text."""
        self._reading(lib.Zel_ConfigReadFromData(_bytes(text), self._live()))

    def write(self, path):
        """Writes the values as a data file."""
        _check(lib.Zel_ConfigWrite(_path(path), self._live()))

    @property
    def name(self):
        return _text(self._live().contents.name)

    def close(self):
        if self._handle is not None:
            lib.Zel_ConfigDestroy(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __del__(self):
        if getattr(self, "_handle", None) is not None:
            self.close()


def _path(path):
    return _bytes(os.fsencode(path))
