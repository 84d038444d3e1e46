"""Fixtures of the lyparser tests: the demo's sample files, made by lytag, and
the test CDDB server, at the paths LYTAG and LYPARSER_CDDB_TEST_SERVER give."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest


@pytest.fixture(scope="session")
def samples(tmp_path_factory: pytest.TempPathFactory) -> Path:
    folder = tmp_path_factory.mktemp("samples")
    out = subprocess.run([os.environ["LYTAG"], "demo", "--keep"], capture_output=True,
                         env={**os.environ, "TMPDIR": str(folder)}, text=True, check=True).stdout
    return Path(out.rsplit("Samples kept in ", 1)[1].strip())


@pytest.fixture
def sample(samples: Path, tmp_path: Path):
    """A copy of a sample file, for this test alone."""
    return lambda name: Path(shutil.copy(samples / name, tmp_path / name))


@pytest.fixture
def cddb_server(tmp_path: Path):
    """Starts the server in a mode on a database {"query/ID": text, ...}; gives its address."""
    servers = []

    def start(mode: str = "normal", files: dict = {}) -> str:
        for name, text in files.items():
            (tmp_path / "cddb" / name).parent.mkdir(parents=True, exist_ok=True)
            (tmp_path / "cddb" / name).write_text(text)
        (tmp_path / "cddb").mkdir(exist_ok=True)
        servers.append(subprocess.Popen([os.environ["LYPARSER_CDDB_TEST_SERVER"], "--mode", mode,
                                         str(tmp_path / "cddb")], stdout=subprocess.PIPE, text=True))
        return servers[-1].stdout.readline().strip()

    yield start
    for server in servers:
        server.kill()
        server.wait()
