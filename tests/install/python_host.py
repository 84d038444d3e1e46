"""A Python host against the installed package: for each file given, reads the
title, sets title and artist, saves, and checks the file with mutagen (an
independent reader); then names the tracks of a CD in drive D: through a
Python engine, from the CDDB server LYPARSER_CDDB_SERVER names; then shows
the reason of a failed open. Exits 1 on any surprise."""

import sys
import threading

import mutagen

import lyparser

TITLE = "Python host \u2713"
MUTAGEN_TITLE = {"mp3": "TIT2", "ogg": "title", "wma": "Title"}


class Player(lyparser.Engine):
    def __init__(self) -> None:
        self.arrived = threading.Event()

    def cd_drive_letter(self, drive: int) -> int:
        return 3 if drive == 0 else -1

    def cd_is_ready(self, drive: int) -> bool:
        return drive == 0

    def cd_id(self, drive: int):
        return "0d000903 3 150 300 525 11" if drive == 0 else None

    def notify(self, unit: str, message: int, a: int, b: int) -> None:
        if (unit, message) == ("playlist", lyparser.CD_NAMES_ARRIVED):
            self.arrived.set()


def change(path: str) -> bool:
    with lyparser.open(path) as song:
        before = song["title"]
        song.update(title=TITLE, artist="Python")
        song.save()
        kind = song.type
    written = str(mutagen.File(path).tags[MUTAGEN_TITLE[kind]][0])
    print(f"{path}: {before} -> {written}: saved")
    return written == TITLE


def main() -> int:
    player = Player()
    lyparser.init(player)
    ok = all([change(path) for path in sys.argv[1:]])
    lyparser.open("D:\\Track01.cda").close()  # starts the lookup
    player.arrived.wait(20)
    with lyparser.open("D:\\Track01.cda") as track:  # again, for the names
        print(f"Track 1: {track['title']}")
        ok = ok and track["title"] == "Hush"
    try:
        lyparser.open("/nonexistent/song.mp3")
        ok = False
    except lyparser.Error as error:
        print(f"missing file: {error.code}")
        ok = ok and error.code == "NOT_FOUND"
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
