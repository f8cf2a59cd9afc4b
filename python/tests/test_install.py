"""The documented install command, offline, into a throw-away virtual
environment of /usr/bin/python3 that sees Debian's packages."""

import os
import shutil
import subprocess

import pytest

SOURCE = os.environ.get("LUMTRAX_SOURCE_DIR")

CHECK = """
import os, sys, lumtrax
assert os.path.realpath(lumtrax.__file__).startswith(os.path.realpath(sys.prefix)), lumtrax.__file__
assert "日本語\\ue000".encode("lumtrax-ebcdic").decode("lumtrax-ebcdic") == "日本語\\ue000"
assert lumtrax.convert(b"A\\x88\\x9f", "sjis_to_euc").data == b"A\\xb0\\xa1"
import lumtrax.dask
print(lumtrax.__version__, lumtrax.simd_level())
"""


@pytest.mark.skipif(not SOURCE, reason="LUMTRAX_SOURCE_DIR names no source tree")
def test_pip_installs_the_package_offline(tmp_path):
    # A copy of the source tree, so that the build leaves nothing in it.
    tree = tmp_path / "lumtrax"
    shutil.copytree(SOURCE, tree, ignore=shutil.ignore_patterns("build*", ".git", "__pycache__", "*.egg-info"))
    prefix = tmp_path / "env"
    environment = dict(os.environ, PIP_NO_INDEX="1", CMAKE_BUILD_PARALLEL_LEVEL="2")
    environment.pop("PYTHONPATH", None)
    # The command of README.md, with the prefix of this test.
    subprocess.run(f"/usr/bin/python3 -m venv --system-site-packages {prefix} && "
                   f"{prefix}/bin/pip install --no-build-isolation ./python", shell=True, cwd=tree,
                   env=environment, check=True)
    python = str(prefix / "bin" / "python")
    result = subprocess.run([python, "-c", CHECK], cwd=tmp_path, env=environment, check=True,
                            capture_output=True, text=True)
    assert result.stdout.split()[0].count(".") == 2
