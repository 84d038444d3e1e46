"""The lyparser package as a script uses it: fields by lytag's names written
into a real file and read back with mutagen, failures with their reasons, a CD
named through a Python engine, and no callback into Python after exit. Run on
the sources by ctest, and on the package pip installed by the install check."""

import os
import subprocess
import sys
import threading

import mutagen
import pytest

import lyparser

DISC = "0d000903 3 150 300 525 11"
DATABASE = {
    "query/0d000903": "200 misc 0d000903 The Demo Players / Three Short Silences\r\n",
    "read/misc/0d000903": "DTITLE=The Demo Players / Three Short Silences\r\n"
    "TTITLE0=Hush\r\nTTITLE1=Quiet, Please\r\nTTITLE2=Still\r\n.\r\n",
}


def tags(path) -> dict:
    return {key: str(value) for key, value in mutagen.File(path).tags.items()}


# Which fields each format holds and how is lytag's, checked in lytag_set_test.
def test_changes_reach_the_file_and_nothing_else_does(sample):
    path = sample("morning.mp3")
    before = tags(path)
    with lyparser.open(path) as song:
        song["title"] = "Caf\u00e9 \U0001f3b5"
        song["artist"] = "Band"
        song.save()
        assert song.last_error is None
    after = tags(path)
    assert {key for key in before if after.get(key) != before[key]} == {"TIT2", "TPE1"}
    assert (after["TIT2"], after["TPE1"]) == ("Caf\u00e9 \U0001f3b5", "Band")
    with lyparser.open(path) as song:
        assert (song["title"], song["artist"]) == ("Caf\u00e9 \U0001f3b5", "Band")


# A refusal when the value is set, and one when the file is saved (another
# program wrote it meanwhile); every reason is checked in failure_reasons_test.
@pytest.mark.parametrize(
    "code, name, field, value",
    [
        ("REFUSED_VALUE", "morning.mp3", "year", "next year"),  # lytag's planner refuses it
        ("CHANGED_ON_DISK", "evening.ogg", "title", "New"),
    ],
)
def test_failures_raise_their_reason(sample, code, name, field, value):
    path = sample(name)
    with lyparser.open(path) as song, pytest.raises(lyparser.Error) as failed:
        song[field] = value
        with open(path, "ab") as out:
            out.write(b"x")
        song.save()
    assert (failed.value.code, code in lyparser.REASONS) == (code, True)
    assert failed.value.text


def test_a_failed_open_and_an_unknown_name(sample, tmp_path):
    with pytest.raises(lyparser.Error) as missing:
        lyparser.open(tmp_path / "missing.mp3")
    assert missing.value.code == "NOT_FOUND"
    with lyparser.open(sample("morning.mp3")) as song, pytest.raises(KeyError):
        song["no-such-field"]


def test_a_cd_is_named_through_a_python_engine(cddb_server, monkeypatch):
    monkeypatch.setenv("LYPARSER_CDDB_SERVER", cddb_server(files=DATABASE))
    arrived = threading.Event()

    class Player(lyparser.Engine):
        def cd_drive_letter(self, drive):
            return 3 if drive == 0 else -1

        def cd_is_ready(self, drive):
            return drive == 0

        def cd_id(self, drive):
            return DISC if drive == 0 else None

        def notify(self, unit, message, a, b):
            if (unit, message) == ("playlist", lyparser.CD_NAMES_ARRIVED):
                arrived.set()

    lyparser.init(Player())
    lyparser.open("D:\\Track01.cda").close()  # starts the lookup
    assert arrived.wait(20)
    with lyparser.open("D:\\Track02.cda") as track:
        assert (track.type, track["title"]) == ("cda", "Quiet, Please")
    lyparser.init()


# Exits while a lookup waits on a silent server; an exit handler that runs
# after lyparser's then waits until the lookup has failed, which tells the host.
EXIT_SCRIPT = """
import atexit, threading, time
atexit.register(time.sleep, 2)
import lyparser
asked = threading.Event()
class Player(lyparser.Engine):
    def cd_drive_letter(self, drive): return 3 if drive == 0 else -1
    def cd_is_ready(self, drive): return True
    def cd_id(self, drive):
        asked.set()
        return "%s"
    def notify(self, unit, message, a, b): print("notified", flush=True)
lyparser.init(Player())
lyparser.open("D:\\\\Track01.cda").close()
asked.wait(20)
""" % DISC


def test_no_callback_reaches_python_after_exit(cddb_server):
    env = {**os.environ, "LYPARSER_CDDB_SERVER": cddb_server("silent"),
           "LYPARSER_HTTP_TIMEOUT_MS": "300"}
    done = subprocess.run([sys.executable, "-c", EXIT_SCRIPT], env=env,
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout, done.stderr) == (0, "", "")
