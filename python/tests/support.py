"""What every test of the module shares: the built package first on sys.path, a temporary
Windows directory with the real libraries registered, and recorders of the power commands
first in PATH, so that no test reaches the real ones."""

import os
import shutil
import subprocess
import sys
import tempfile

BUILD_PYTHON = os.environ["TARV_PYTHON_PATH"]
RECORDED = ("systemctl", "loginctl", "shutdown", "reboot", "poweroff", "halt")


def prepare():
    """Sets up the process's environment; returns the Windows directory."""
    windir = tempfile.mkdtemp(prefix="tarv-python-")
    os.environ["TARV_WINDIR"] = windir
    bindir = os.path.join(windir, "recorders")
    os.mkdir(bindir)
    for name in RECORDED:
        path = os.path.join(bindir, name)
        with open(path, "w") as f:
            f.write('#!/bin/sh\necho "%s $*" >> "%s/commands.log"\n' % (name, windir))
        os.chmod(path, 0o755)
    os.environ["PATH"] = bindir + os.pathsep + os.environ["PATH"]
    for name in RECORDED:
        assert shutil.which(name) == os.path.join(bindir, name), name
    for lib in ("TARV_UTILITY_LIB", "TARV_ZLIBTOOL_LIB"):
        subprocess.run([os.environ["TARV_REGSVR"], os.environ[lib]], check=True,
                       stdout=subprocess.DEVNULL)
    os.environ["PYTHONPATH"] = BUILD_PYTHON
    if BUILD_PYTHON not in sys.path:
        sys.path.insert(0, BUILD_PYTHON)
    return windir


def commands(windir):
    try:
        with open(os.path.join(windir, "commands.log")) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def console_env(**extra):
    """The environment of a console host: no display of any kind."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(extra)
    return env
