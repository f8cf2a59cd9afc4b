# Toolchain file for the 64-bit Windows DLLs: the x86_64 MinGW-w64 cross
# compiler (Debian: apt-get install -y g++-mingw-w64-x86-64).
#
#   cmake -S . -B build-win64 --toolchain cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(LUMTRAX_MINGW_TRIPLET x86_64-w64-mingw32)
set(LUMTRAX_MINGW_PACKAGE_HINT "Debian: apt-get install -y g++-mingw-w64-x86-64")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
