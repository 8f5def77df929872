"""The shared library and its records, as ctypes declares them.

The library is the one named by the environment variable QORVCFG_LIBRARY, or
else the one of the same install (the path that _location.py, written when
the package is installed, gives relative to this folder), or else the one
the system's loader finds by name.
"""

import ctypes
import os
import sys
from ctypes import (POINTER, Structure, Union, c_char_p, c_int64, c_uint8,
                    c_uint16, c_uint32, c_void_p)

TYPE_INTEGER, TYPE_STRING, TYPE_BOOLEAN, TYPE_IPADDR = 1, 2, 3, 4
TYPE_ENUMERATION, TYPE_STRUCTURE = 5, 6
FORM_HOSTNAME, FORM_NUMERIC = 1, 2
FAMILY_V4, FAMILY_V6 = 4, 6


class IpAddressValue(Structure):
    _fields_ = [("form", c_uint16), ("family", c_uint16), ("host_name", c_char_p),
                ("address", c_uint8 * 16), ("mask", c_uint8 * 16)]


class DataPayload(Union):
    _fields_ = [("integer", c_int64), ("text", c_char_p), ("boolean", c_uint32),
                ("ipaddr", IpAddressValue), ("keyword", c_char_p), ("structure", c_void_p),
                ("bytes", c_uint8 * 48)]


class KeywordEntry(Structure):
    pass


KeywordEntry._fields_ = [("next", POINTER(KeywordEntry)), ("keyword", c_char_p),
                         ("text", c_char_p)]


class ItemDefinition(Structure):
    pass


class DefaultRecord(Structure):
    _fields_ = [("type", c_uint32), ("payload", DataPayload)]


class DataContainer(Structure):
    _fields_ = [("next", c_void_p), ("prev", c_void_p), ("count", c_uint32),
                ("items", POINTER(POINTER(ItemDefinition))), ("indexes", c_void_p)]


ItemDefinition._fields_ = [
    ("next", POINTER(ItemDefinition)), ("name", c_char_p), ("description", c_char_p),
    ("dispstring", c_char_p), ("identifier", c_uint32), ("necessity", c_uint32),
    ("hidden", c_uint32), ("number", c_uint32), ("type", c_uint32),
    ("entries", POINTER(KeywordEntry)), ("default_value", DefaultRecord),
    ("minimum", c_int64), ("maximum", c_int64), ("children", POINTER(ItemDefinition))]


class DataRecord(Structure):
    _fields_ = [("type", c_uint32), ("payload", DataPayload), ("nested", DataContainer)]


class ConfigHandle(Structure):
    _fields_ = [("name", c_char_p), ("description", c_char_p), ("dispstring", c_char_p),
                ("hidden", c_uint32), ("items", POINTER(ItemDefinition)),
                ("data", DataContainer)]


# The layout that qorvcfg.h asserts for 64-bit systems.
assert ctypes.sizeof(IpAddressValue) == 48 and ctypes.sizeof(DataPayload) == 48
assert DataRecord.nested.offset == 56 and ItemDefinition.default_value.offset == 64
assert ItemDefinition.children.offset == 136 and ConfigHandle.data.offset == 40

_HANDLE = POINTER(ConfigHandle)
_RECORD = POINTER(DataRecord)
_COUNT = POINTER(c_uint32)
_SIGNATURES = {
    "Zel_ConfigCreate": [c_char_p, POINTER(_HANDLE)],
    "Zel_ConfigRead": [c_char_p, _HANDLE],
    "Zel_ConfigReadFromData": [c_char_p, _HANDLE],
    "Zel_ConfigWrite": [c_char_p, _HANDLE],
    "Zel_DataGet": [_HANDLE, c_char_p, POINTER(_RECORD), _COUNT],
    "Zel_DataGetFromData": [_RECORD, c_char_p, POINTER(_RECORD), _COUNT],
    "Zel_DataDefaultGet": [_HANDLE, c_char_p, POINTER(POINTER(DefaultRecord))],
    "Zel_DataDefaultGetFromData": [_RECORD, c_char_p, POINTER(POINTER(DefaultRecord))],
    "Zel_DataDefaultCreate": [_HANDLE, c_char_p, POINTER(_RECORD)],
    "Zel_DataDefaultCreateFromData": [_RECORD, c_char_p, POINTER(_RECORD)],
    "Zel_DataChange": [_HANDLE, _RECORD, c_void_p],
    "Zel_DataChangeToData": [_RECORD, _RECORD, c_void_p],
    "Zel_DataAdd": [_HANDLE, _RECORD],
    "Zel_DataAddToData": [_RECORD, _RECORD],
    "Zel_DataDel": [_HANDLE, _RECORD],
    "Zel_DataDelFromData": [_RECORD, _RECORD],
}


def _library_path():
    named = os.environ.get("QORVCFG_LIBRARY")
    if named:
        return named
    try:
        from . import _location
    except ImportError:
        return "qorvcfg.dll" if sys.platform == "win32" else "libqorvcfg.so.0"
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.normpath(os.path.join(here, _location.LIBRARY))


def _load():
    library = ctypes.CDLL(_library_path())
    for name, arguments in _SIGNATURES.items():
        function = getattr(library, name)
        function.argtypes = arguments
        function.restype = c_uint32
    library.Zel_ConfigDestroy.argtypes = [_HANDLE]
    library.Zel_ConfigDestroy.restype = None
    return library


lib = _load()
