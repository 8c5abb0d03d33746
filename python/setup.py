"""Builds the compiled module with CMake from the project's own sources.

In the repository the sources are the folder above this one; an sdist carries a copy of them in
cpp/, so that its wheel is built from what it holds.
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.sdist import sdist

here = Path(__file__).resolve().parent
# What of the project the module's build needs, relative to the project's root.
SOURCES = ["CMakeLists.txt", "LICENSE", "README.md", "cmake", "src", "bench/CMakeLists.txt",
           "bench/gen_sdf.cpp", "python/CMakeLists.txt", "python/src"]


def project_root():
    carried = here / "cpp"
    return carried if (carried / "CMakeLists.txt").is_file() else here.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        output = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = ["cmake", "-S", str(project_root()), "-B", str(build),
                     "-DCMAKE_BUILD_TYPE=Release", "-DVARNOKLINE_PYTHON=ON", "-DBUILD_TESTING=OFF",
                     # The system's GDAL and PROJ, as the Python beside it (pyproj, QGIS) loads
                     # them: one PROJ in the process, its database where the system keeps it.
                     "-DVARNOKLINE_OSR_PACKAGE=OFF",
                     f"-DPython3_EXECUTABLE={sys.executable}",
                     f"-DVARNOKLINE_PYTHON_OUTPUT={output}"]
        if shutil.which("ccache"):
            configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.check_call(configure)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_varnokline",
                               "-j", jobs])


class SdistWithSources(sdist):
    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        root = project_root()
        for name in SOURCES:
            source, target = root / name, Path(base_dir) / "cpp" / name
            target.parent.mkdir(parents=True, exist_ok=True)
            if source.is_dir():
                shutil.copytree(source, target, dirs_exist_ok=True)
            else:
                shutil.copy2(source, target)


setup(ext_modules=[Extension("varnokline._varnokline", sources=[])],
      cmdclass={"build_ext": CMakeBuild, "sdist": SdistWithSources})
