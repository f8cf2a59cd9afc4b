# Toolchain file for the 32-bit Windows build: the i686 MinGW-w64 cross
# compiler (Debian: apt-get install -y g++-mingw-w64-i686).
#
#   cmake -S . -B build-windows --toolchain cmake/i686-w64-mingw32.cmake
#
# The Debian packages install two variants of the compiler, one for the win32
# thread model and one for posix threads (which brings in winpthread); the
# win32 one is taken when it is there. The project links the C++ run-time,
# libgcc and every other non-system library statically either way
# (CMakeLists.txt), so the DLLs import nothing but Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(LUMTRAX_MINGW_TRIPLET i686-w64-mingw32)
foreach(tool gcc g++)
  find_program(LUMTRAX_MINGW_${tool} NAMES ${LUMTRAX_MINGW_TRIPLET}-${tool}-win32 ${LUMTRAX_MINGW_TRIPLET}-${tool})
  if(NOT LUMTRAX_MINGW_${tool})
    message(FATAL_ERROR "${LUMTRAX_MINGW_TRIPLET}-${tool} not found (Debian: apt-get install -y g++-mingw-w64-i686)")
  endif()
endforeach()
set(CMAKE_C_COMPILER ${LUMTRAX_MINGW_gcc})
set(CMAKE_CXX_COMPILER ${LUMTRAX_MINGW_g++})
find_program(CMAKE_RC_COMPILER NAMES ${LUMTRAX_MINGW_TRIPLET}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMTRAX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
