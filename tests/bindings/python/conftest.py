"""Fixtures of the lyparser tests: the demo's sample files, made by lytag, and
the test CDDB server. The build gives the paths in LYTAG and
LYPARSER_CDDB_TEST_SERVER."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest


@pytest.fixture(scope="session")
def samples(tmp_path_factory: pytest.TempPathFactory) -> Path:
    folder = tmp_path_factory.mktemp("samples")
    out = subprocess.run(
        [os.environ["LYTAG"], "demo", "--keep"],
        env={**os.environ, "TMPDIR": str(folder)},
        capture_output=True, text=True, check=True,
    ).stdout
    return Path(out.rsplit("Samples kept in ", 1)[1].strip())


@pytest.fixture
def sample(samples: Path, tmp_path: Path):
    """A copy of a sample file, for this test alone."""
    return lambda name: Path(shutil.copy(samples / name, tmp_path / name))


@pytest.fixture
def cddb_server(tmp_path: Path):
    """Starts the test server on a database; yields a function that takes the
    mode and the files {"query/ID": text, ...} and returns the address."""
    servers = []

    def start(mode: str = "normal", files: dict = {}) -> str:
        database = tmp_path / f"cddb{len(servers)}"
        for name, text in files.items():
            (database / name).parent.mkdir(parents=True, exist_ok=True)
            (database / name).write_text(text)
        database.mkdir(exist_ok=True)
        server = subprocess.Popen(
            [os.environ["LYPARSER_CDDB_TEST_SERVER"], "--mode", mode, str(database)],
            stdout=subprocess.PIPE, text=True,
        )
        servers.append(server)
        return server.stdout.readline().strip()

    yield start
    for server in servers:
        server.kill()
        server.wait()
