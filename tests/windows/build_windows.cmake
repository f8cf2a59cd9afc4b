# Configures and builds the Windows artefacts with the cross toolchain:
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DTOOLCHAIN_FILE=... [-DGENERATOR=...]
#         [-DBUILD_TYPE=...] [-DWERROR=ON|OFF] -P build_windows.cmake
# Run by the test windows.build of the Linux build.
foreach(var SOURCE_DIR BINARY_DIR TOOLCHAIN_FILE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
if(NOT BUILD_TYPE)
  set(BUILD_TYPE Release)
endif()
if(NOT DEFINED WERROR)
  set(WERROR ON)
endif()

set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR}
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
    -DLUMTRAX_WERROR=${WERROR}
    -DLUMTRAX_SANITIZE=
    -DLUMTRAX_BUILD_TESTS=ON)
if(GENERATOR AND NOT EXISTS ${BINARY_DIR}/CMakeCache.txt)
  list(APPEND configure -G ${GENERATOR})
endif()

execute_process(COMMAND ${configure} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring the Windows build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --parallel 2 RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the Windows artefacts failed")
endif()
