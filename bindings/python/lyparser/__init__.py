"""lyparser: read and change the tags of MP3, Ogg Vorbis and Windows Media files,
and name audio CDs, with the lyParser module.

    import lyparser

    with lyparser.open("song.mp3") as song:
        print(song["title"])
        song["title"] = "Morning Tone"
        song.save()

Fields are named as lytag names them ("title", "artist", "title:v1", "composer",
...: FIELD_NAMES), and mean the same in every format: the title of an MP3 is the
ID3v2 title a player shows, kept in step with the ID3v1 one when the file has
that tag. Failures raise Error, whose `code` names the reason ("READ_ONLY").

The module starts on first use; init() gives it an Engine (file lengths, CD
drives, the CD notification). shutdown() runs at exit: once it has returned, no
callback into Python runs, CD lookups still running included.
"""

from __future__ import annotations

import atexit
import ctypes
import os
import threading
from collections.abc import Iterator, MutableMapping
from typing import Optional, Union

from . import _native
from ._native import lib

__all__ = [
    "CD_NAMES_ARRIVED",
    "Engine",
    "Error",
    "FIELD_NAMES",
    "File",
    "REASONS",
    "init",
    "open",
    "open_memory",
    "set_setting",
    "set_text",
    "setting",
    "shutdown",
    "version",
]

CD_NAMES_ARRIVED = 34080  # the notification's message: CD names may have arrived


def _field_names() -> tuple[str, ...]:
    names = []
    while (name := lib.lyparser_field_name(len(names))) is not None:
        names.append(name.decode())
    return tuple(names)


FIELD_NAMES: tuple[str, ...] = _field_names()  # lytag's names, in the order it shows them


def _reasons() -> tuple[str, ...]:
    names = []
    while name := lib.lyparser_reason_name(len(names) + 1).decode():
        names.append(name)
    return tuple(names)


REASONS: tuple[str, ...] = _reasons()  # every Error.code, by its number in lyparser_c.h

_TYPE_NAMES = {0: "other", 1: "mp3", 2: "ogg", 3: "wma", 4: "cda", 5: "wma"}

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class Error(Exception):
    """A failure the module reported.

    `code` is a stable name (one of REASONS: "READ_ONLY", "CHANGED_ON_DISK",
    "DISK_FULL", ...; the host guide says when each comes) and `text` says it
    in English.
    """

    def __init__(self, code: str, text: str) -> None:
        super().__init__(f"{code}: {text}")
        self.code = code
        self.text = text

    @classmethod
    def from_reason(cls, reason: int, text: str = "") -> Error:
        name = lib.lyparser_reason_name(reason).decode() or "FAILED"
        return cls(name, text or lib.lyparser_reason_text(reason).decode())


class Engine:
    """The player's audio engine, for init(). Override what the host can answer.

    The methods may run on the module's CD lookup threads, so they must be
    thread-safe; they never run after shutdown() has returned.
    """

    def audio_length(self, path: str) -> float:
        """The length of the file at `path` in seconds."""
        return 0.0

    def cd_drive_letter(self, drive: int) -> int:
        """The letter of CD drive `drive` (0-29): 0 for A ... 25 for Z, or -1."""
        return -1

    def cd_is_ready(self, drive: int) -> bool:
        """True when a disc can be read in the drive."""
        return False

    def cd_id(self, drive: int) -> Optional[str]:
        """The disc's CDDB query text ("0d000903 3 150 300 525 11"), or None."""
        return None

    def cd_track_length(self, drive: int, track: int) -> int:
        """Bytes of 44.1 kHz 16-bit stereo audio of track `track` (from 0)."""
        return 0

    def notify(self, unit: str, message: int, a: int, b: int) -> None:
        """The player's notification, on a lookup thread: ("playlist",
        CD_NAMES_ARRIVED, 0, 0) when CD names may have arrived. Open the CD
        tracks again to see them."""


_lock = threading.Lock()
_started = False
_callbacks: Optional[_native.Host] = None  # kept alive while the C layer may call them


def _host_for(engine: Engine) -> _native.Host:
    def cd_id(_user: int, drive: int, buffer: int, size: int) -> int:
        text = engine.cd_id(drive)
        if text is None:
            return 0
        data = text.encode("utf-8")[: size - 1] + b"\0"
        ctypes.memmove(buffer, data, len(data))
        return 1

    return _native.Host(
        None,
        _native.AUDIO_LENGTH(lambda _u, path: float(engine.audio_length(os.fsdecode(path)))),
        _native.DRIVE_NUMBER(lambda _u, drive: int(engine.cd_drive_letter(drive))),
        _native.DRIVE_NUMBER(lambda _u, drive: 1 if engine.cd_is_ready(drive) else 0),
        _native.CD_ID(cd_id),
        _native.TRACK_LENGTH(lambda _u, drive, track: int(engine.cd_track_length(drive, track))),
        _native.NOTIFY(lambda _u, unit, message, a, b: engine.notify(unit.decode(), message, a, b)),
    )


def init(engine: Optional[Engine] = None) -> None:
    """Starts the module with `engine` (or one that answers "unknown"). A second
    call replaces the engine."""
    global _started, _callbacks
    with _lock:
        host = _host_for(engine or Engine())
        reason = lib.lyparser_init(ctypes.byref(host))
        if reason:
            raise Error.from_reason(reason)
        _callbacks = host
        _started = True


def shutdown() -> None:
    """Stops the module. When it returns no engine method runs, and none will.
    Registered with atexit; a later open() starts the module again."""
    global _started
    with _lock:
        if _started:
            lib.lyparser_shutdown()
            _started = False


atexit.register(shutdown)


def _start() -> None:
    if not _started:
        init()


def version() -> str:
    """The C layer's version, "1.2.0"."""
    return lib.lyparser_version().decode()


def set_text(text_id: int, text: Optional[str]) -> None:
    """Replaces the player's text `text_id` (9001-9022, see the host guide)."""
    lib.lyparser_set_text(text_id, None if text is None else text.encode("utf-8"))


def setting(word: int) -> int:
    """A word of the player's settings (112: CD lookups enabled)."""
    return lib.lyparser_get_setting(word)


def set_setting(word: int, value: int) -> None:
    lib.lyparser_set_setting(word, value)


def open(path: PathLike) -> File:  # noqa: A001 - the package's main verb
    """Opens the file at `path`; raises Error (NOT_FOUND, NOT_SUPPORTED, ...)."""
    _start()
    name = os.fsencode(path)
    reason = ctypes.c_int(0)
    handle = lib.lyparser_open(name, ctypes.byref(reason))
    if not handle:
        raise Error.from_reason(reason.value)
    return File(handle, os.fsdecode(name))


def open_memory(data: bytes) -> File:
    """Opens the image of an Ogg Vorbis file's start; it reads, never saves."""
    _start()
    reason = ctypes.c_int(0)
    handle = lib.lyparser_open_memory(2, data, len(data), ctypes.byref(reason))
    if not handle:
        raise Error.from_reason(reason.value)
    return File(handle, "")


class File(MutableMapping[str, str]):
    """An open file. As a mapping, its keys are FIELD_NAMES and its values the
    fields' texts ("" for a field the file does not hold; iteration gives the
    names that hold a value). Setting records a change; save() writes them.
    Use from one thread at a time."""

    def __init__(self, handle: int, path: str) -> None:
        self._handle: Optional[int] = handle
        self.path = path

    # The mapping: fields by lytag's names.

    def __getitem__(self, name: str) -> str:
        value = ctypes.c_void_p()
        reason = lib.lyparser_get_field(self._open(), name.encode("utf-8"), ctypes.byref(value))
        text = _native.take_text(value.value)
        if reason == 17:  # LYPARSER_UNKNOWN_FIELD
            raise KeyError(name)
        self._check(reason)
        return text

    def __setitem__(self, name: str, value: str) -> None:
        message = ctypes.c_void_p()
        reason = lib.lyparser_set_field(
            self._open(), name.encode("utf-8"), value.encode("utf-8"), ctypes.byref(message)
        )
        self._check(reason, _native.take_text(message.value))

    def __delitem__(self, name: str) -> None:
        self[name] = ""

    def __iter__(self) -> Iterator[str]:
        return (name for name in FIELD_NAMES if self[name])

    def __len__(self) -> int:
        return sum(1 for _ in self)

    # Writing.

    def save(self) -> None:
        """Writes the recorded changes; on Error the file is as it was."""
        self._check(lib.lyparser_save(self._open()))

    @property
    def last_error(self) -> Optional[Error]:
        """Why the last set, save or strip on this file failed; None after a success."""
        text = ctypes.c_void_p()
        reason = lib.lyparser_last_error(self._open(), ctypes.byref(text))
        line = _native.take_text(text.value)
        return Error(*line.split(": ", 1)) if reason and ": " in line else None

    def close(self) -> None:
        if self._handle:
            lib.lyparser_close(self._handle)
            self._handle = None

    def __enter__(self) -> File:
        return self

    def __exit__(self, *_exception: object) -> None:
        self.close()

    # The module's field ids and other texts (lyparser_c.h, the host guide).

    @property
    def type(self) -> str:
        """The file's kind: "mp3", "ogg", "wma", "cda" or "other"."""
        return _TYPE_NAMES.get(lib.lyparser_file_type(self._open()), "other")

    def get_id(self, field: int) -> str:
        return _native.take_text(lib.lyparser_get(self._open(), field))

    def set_id(self, field: int, value: str) -> None:
        self._check(lib.lyparser_set(self._open(), field, value.encode("utf-8")))

    def get_ex(self, key: str) -> str:
        """A Vorbis comment or Windows Media attribute by its name."""
        return _native.take_text(lib.lyparser_get_ex(self._open(), key.encode("utf-8")))

    def set_ex(self, key: str, value: str) -> None:
        self._check(lib.lyparser_set_ex(self._open(), key.encode("utf-8"), value.encode("utf-8")))

    def info(self, kind: int = 0) -> str:
        """A technical text; kind 0 is the whole report, 5 the length in seconds."""
        return _native.take_text(lib.lyparser_file_info(self._open(), kind))

    def description(self, kind: int, template: str = "", flag: int = 1) -> str:
        return _native.take_text(
            lib.lyparser_description(self._open(), kind, template.encode("utf-8"), flag)
        )

    def audio_range(self) -> tuple[int, int, int]:
        """(start, end, result) as the module reports where the audio lies."""
        start, end = ctypes.c_int(0), ctypes.c_int(0)
        result = lib.lyparser_audio_range(self._open(), ctypes.byref(start), ctypes.byref(end))
        return start.value, end.value, result

    def md5(self, start: int = 0, count: int = -1) -> str:
        """MD5 of `count` bytes from `start` (at most 160 KiB; -1: 160 KiB)."""
        first, end = ctypes.c_int(start), ctypes.c_int(count)
        return _native.take_text(
            lib.lyparser_md5(self._open(), ctypes.byref(first), ctypes.byref(end))
        )

    def picture(self) -> Optional[bytes]:
        """The MP3's first picture, or None."""
        data, size = ctypes.c_void_p(), ctypes.c_size_t(0)
        reason = lib.lyparser_picture(self._open(), ctypes.byref(data), ctypes.byref(size))
        picture = _native.take_bytes(data.value, size.value)
        return picture if reason == 0 else None

    def _open(self) -> int:
        if not self._handle:
            raise ValueError("the file is closed")
        return self._handle

    @staticmethod
    def _check(reason: int, text: str = "") -> None:
        if reason:
            raise Error.from_reason(reason, text)

    def __repr__(self) -> str:
        state = "" if self._handle else " (closed)"
        return f"<lyparser.File {self.path!r}{state}>"
