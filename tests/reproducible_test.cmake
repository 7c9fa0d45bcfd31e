# pim.dll built a second time, in a tree of its own at another path, must be the same
# bytes as the win32 tree's: nothing of the build's time or place goes into the image.
# Run by ctest in the native trees (the cross compiler is all it needs):
#   cmake -DSOURCE_DIR=... -DREFERENCE=<the win32 tree's pim.dll> -DWORK=<dir> -P reproducible_test.cmake
find_program(CROSS i686-w64-mingw32-g++)
if(NOT CROSS)
  message("SKIPPED: no MinGW-w64 cross compiler to build pim.dll with")
  return()
endif()
if(NOT EXISTS ${REFERENCE})
  message("SKIPPED: no ${REFERENCE} to compare with (build the win32 tree first)")
  return()
endif()

set(tree ${WORK}/reproducible_test)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${tree}
                        -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake
                        -DCMAKE_BUILD_TYPE=Release -DPIM_TESTS=OFF -DPIM_BENCH=OFF
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${tree} --target pim
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the second build failed:\n${output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${tree}/bin/pim.dll ${REFERENCE} RESULT_VARIABLE differs)
file(SHA256 ${REFERENCE} first)
file(SHA256 ${tree}/bin/pim.dll second)
if(differs)
  message(FATAL_ERROR "two builds of the same sources differ:\n  ${REFERENCE}: ${first}\n  ${tree}/bin/pim.dll: ${second}")
endif()
message("the same pim.dll from two trees: ${first}")
