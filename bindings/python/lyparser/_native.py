"""The C layer, liblyparser_c, loaded with ctypes and declared function by function.

The library is the one named by the environment variable LYPARSER_LIBRARY, else
the one whose path `cmake --install` recorded in _install.py, else
liblyparser_c.so.1 as the system's loader finds it.
"""

from __future__ import annotations

import ctypes
import os
from ctypes import (
    CFUNCTYPE,
    POINTER,
    Structure,
    c_char_p,
    c_double,
    c_int,
    c_size_t,
    c_uint,
    c_void_p,
)
from typing import Optional


def library_path() -> str:
    """Where the C layer is looked for."""
    named = os.environ.get("LYPARSER_LIBRARY")
    if named:
        return named
    try:
        from ._install import LIBRARY  # written by cmake --install
    except ImportError:
        LIBRARY = None
    return LIBRARY or "liblyparser_c.so.1"


def _load() -> ctypes.CDLL:
    path = library_path()
    try:
        return ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(
            f"lyparser: cannot load the C layer {path!r} ({error}); "
            "set LYPARSER_LIBRARY to the path of liblyparser_c.so.1"
        ) from error


AUDIO_LENGTH = CFUNCTYPE(c_double, c_void_p, c_char_p)
DRIVE_NUMBER = CFUNCTYPE(c_int, c_void_p, c_uint)
CD_ID = CFUNCTYPE(c_int, c_void_p, c_uint, c_void_p, c_size_t)
TRACK_LENGTH = CFUNCTYPE(c_int, c_void_p, c_uint, c_uint)
NOTIFY = CFUNCTYPE(None, c_void_p, c_char_p, c_uint, c_int, c_int)


class Host(Structure):
    """struct lyparser_host."""

    _fields_ = [
        ("user", c_void_p),
        ("audio_length", AUDIO_LENGTH),
        ("cd_drive_letter", DRIVE_NUMBER),
        ("cd_is_ready", DRIVE_NUMBER),
        ("cd_id", CD_ID),
        ("cd_track_length", TRACK_LENGTH),
        ("notify", NOTIFY),
    ]


lib = _load()
_INT_P = POINTER(c_int)
_TEXT_P = POINTER(c_void_p)

# name: (result, arguments). Text results are c_void_p, so that this module
# copies them and hands the memory back with lyparser_free.
_FUNCTIONS = {
    "lyparser_version": (c_char_p, []),
    "lyparser_init": (c_int, [POINTER(Host)]),
    "lyparser_shutdown": (None, []),
    "lyparser_set_text": (None, [c_uint, c_char_p]),
    "lyparser_get_setting": (c_int, [c_int]),
    "lyparser_set_setting": (None, [c_int, c_int]),
    "lyparser_open": (c_void_p, [c_char_p, _INT_P]),
    "lyparser_open_memory": (c_void_p, [c_int, c_char_p, c_size_t, _INT_P]),
    "lyparser_close": (None, [c_void_p]),
    "lyparser_file_type": (c_int, [c_void_p]),
    "lyparser_get": (c_void_p, [c_void_p, c_int]),
    "lyparser_set": (c_int, [c_void_p, c_int, c_char_p]),
    "lyparser_get_ex": (c_void_p, [c_void_p, c_char_p]),
    "lyparser_set_ex": (c_int, [c_void_p, c_char_p, c_char_p]),
    "lyparser_get_field": (c_int, [c_void_p, c_char_p, _TEXT_P]),
    "lyparser_set_field": (c_int, [c_void_p, c_char_p, c_char_p, _TEXT_P]),
    "lyparser_field_name": (c_char_p, [c_size_t]),
    "lyparser_save": (c_int, [c_void_p]),
    "lyparser_delete_pictures": (c_int, [c_void_p]),
    "lyparser_last_error": (c_int, [c_void_p, _TEXT_P]),
    "lyparser_description": (c_void_p, [c_void_p, c_int, c_char_p, c_int]),
    "lyparser_file_info": (c_void_p, [c_void_p, c_int]),
    "lyparser_audio_range": (c_int, [c_void_p, _INT_P, _INT_P]),
    "lyparser_md5": (c_void_p, [c_void_p, _INT_P, _INT_P]),
    "lyparser_picture": (c_int, [c_void_p, _TEXT_P, POINTER(c_size_t)]),
    "lyparser_reason_name": (c_char_p, [c_int]),
    "lyparser_reason_text": (c_char_p, [c_int]),
    "lyparser_free": (None, [c_void_p]),
}
for _name, (_result, _arguments) in _FUNCTIONS.items():
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments


def take_text(pointer: Optional[int]) -> str:
    """The UTF-8 text at `pointer`, which is then freed; "" for NULL."""
    if not pointer:
        return ""
    try:
        return ctypes.string_at(pointer).decode("utf-8", "replace")
    finally:
        lib.lyparser_free(pointer)


def take_bytes(pointer: Optional[int], size: int) -> bytes:
    """The `size` bytes at `pointer`, which are then freed."""
    try:
        return ctypes.string_at(pointer, size) if pointer else b""
    finally:
        lib.lyparser_free(pointer)
