# Builds in a temporary folder, so that the package installs from a folder
# the user may not write (an installed prefix such as /usr/share/lyparser).
import atexit
import shutil
import tempfile

from setuptools import setup

_scratch = tempfile.mkdtemp(prefix="lyparser-build-")
atexit.register(shutil.rmtree, _scratch, True)
setup(options={"build": {"build_base": _scratch}, "egg_info": {"egg_base": _scratch}})
