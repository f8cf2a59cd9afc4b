"""Builds the package with the project's CMake: the compiled module and the
stand-in gaiji server beside it. Run as `pip install --no-build-isolation
./python` from a source tree; needs cmake, a C++17 compiler and Python's
headers and pybind11 (Debian: cmake g++ python3-dev python3-pybind11)."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent  # the project: CMakeLists.txt, src/, include/, ...


def project_version():
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(lumtrax VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DLUMTRAX_BUILD_TESTS=OFF",
            "-DLUMTRAX_BUILD_PYTHON=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "lumtrax_python"], check=True)
        built = build / "python" / "lumtrax"
        target = Path(self.get_ext_fullpath(ext.name)).parent
        target.mkdir(parents=True, exist_ok=True)
        for pattern in ("_lumtrax*.so", "libquobel.so*"):
            for path in built.glob(pattern):
                shutil.copy2(path, target / path.name)


setup(
    version=project_version(),
    packages=["lumtrax"],
    package_data={"lumtrax": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("lumtrax._lumtrax", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
