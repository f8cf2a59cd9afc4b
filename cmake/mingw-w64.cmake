# The MinGW-w64 cross compiler for the Windows DLLs, shared by the toolchain
# files of the two targets, which set LUMTRAX_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR and include this file.
#
# The Debian packages install two variants of each compiler, one for the
# win32 thread model and one for posix threads (which brings in winpthread);
# the win32 one is taken when it is there. The project links the C++
# run-time, libgcc and every other non-system library statically either way
# (CMakeLists.txt), so the DLLs import nothing but Windows system DLLs and
# the gaiji server.
set(CMAKE_SYSTEM_NAME Windows)

foreach(tool gcc g++)
  find_program(LUMTRAX_MINGW_${tool}
    NAMES ${LUMTRAX_MINGW_TRIPLET}-${tool}-win32 ${LUMTRAX_MINGW_TRIPLET}-${tool})
  if(NOT LUMTRAX_MINGW_${tool})
    message(FATAL_ERROR "${LUMTRAX_MINGW_TRIPLET}-${tool} not found (${LUMTRAX_MINGW_PACKAGE_HINT})")
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
