# GoogleTest from its sources (Debian's by default), the same for the native and the Windows build.
# On a Windows machine, point VU_GOOGLETEST_DIR at a GoogleTest checkout, or build without the
# tests (-DVU_TESTS=OFF).
set(VU_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VU_GOOGLETEST_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VU_GOOGLETEST_DIR}: install Debian's "
                      "googletest package, set VU_GOOGLETEST_DIR, or configure with -DVU_TESTS=OFF")
endif()
enable_testing()
set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
# With Visual Studio, the same static C runtime as the programs.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VU_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(WIN32)
  # Every Windows test runs under Wine in a private prefix inside the build folder, with the
  # virtual console selected as Wine's MIDI driver. The prefix is made once, by a fixture.
  set(VU_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-exec.sh ${VU_WINEPREFIX})
endif()

# vu_add_gtest(target source...): one GoogleTest program, run by CTest natively or under Wine.
function(vu_add_gtest target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  add_test(NAME ${target} COMMAND ${target})
  if(WIN32)
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wineprefix)
  endif()
endfunction()
