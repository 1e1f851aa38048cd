# cmake -DSOURCE=... -DSCRATCH=... -P test_layering.cmake
# The layering check on a scratch tree where tiff/ may include only from itself: an include
# that reaches app/, in any form, stops the configuration with a message naming the file and
# the include; one that stays in tiff/ or names a system header passes.
file(REMOVE_RECURSE ${SCRATCH})
file(WRITE ${SCRATCH}/src/app/ImageJob.h "")
file(WRITE ${SCRATCH}/src/tiff/Strip.h "")
file(WRITE ${SCRATCH}/CMakeLists.txt "cmake_minimum_required(VERSION 3.20)\nproject(layers NONE)\n"
     "include(${SOURCE}/cmake/Layering.cmake)\n"
     "velstram_check_includes(\${PROJECT_SOURCE_DIR}/src/tiff/Reader.h tiff)\n")
set(backEdges [["app/ImageJob.h"]] <app/ImageJob.h> [["../app/ImageJob.h"]]
              [["./app/ImageJob.h"]] <tiff/../app/ImageJob.h> [["${SCRATCH}/src/app/ImageJob.h"]])
set(passing [["Strip.h"]] [["./Strip.h"]] [["../tiff/Strip.h"]] <tiff/Strip.h> <vector>
            <sys/stat.h>)
foreach(named IN LISTS backEdges passing)
  string(CONFIGURE "${named}" named)
  file(WRITE ${SCRATCH}/src/tiff/Reader.h "#pragma once\n  #  include ${named}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SCRATCH} -B ${SCRATCH}/build
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE said)
  string(REGEX REPLACE "[ \n]+" " " said "${said}")
  string(FIND "${said}" "src/tiff/Reader.h: # include ${named} reaches src/app/" named_in_message)
  if(named MATCHES "app/" AND (NOT failed OR named_in_message EQUAL -1))
    message(SEND_ERROR "#include ${named} passed the layering check: ${said}")
  elseif(NOT named MATCHES "app/" AND failed)
    message(SEND_ERROR "#include ${named} was refused: ${said}")
  endif()
endforeach()

# The project's own layers as CMakeLists.txt declares them: the advice lies between app and
# tiff, so tiff may not include it, nor may it include app; app may include it, and it tiff.
file(STRINGS ${SOURCE}/CMakeLists.txt declared REGEX "^velstram_layer\\(")
foreach(edge "tiff advice refused" "advice app refused" "app advice passes" "advice tiff passes")
  string(REPLACE " " ";" edge "${edge}")
  list(GET edge 0 from)
  list(GET edge 1 to)
  list(GET edge 2 expected)
  if(NOT declared MATCHES "velstram_layer\\(${from} MAY_INCLUDE ([a-z ]+)")
    message(SEND_ERROR "CMakeLists.txt declares no layer ${from} that may include others")
  endif()
  string(STRIP "${from} ${CMAKE_MATCH_1}" allowed)
  string(REPLACE " " ";" allowed "${allowed}")
  file(WRITE ${SCRATCH}/src/${to}/Part.h "")
  file(WRITE ${SCRATCH}/src/${from}/Reader.h "#include \"${to}/Part.h\"\n")
  file(WRITE ${SCRATCH}/CMakeLists.txt "cmake_minimum_required(VERSION 3.20)\nproject(layers NONE)\n"
       "include(${SOURCE}/cmake/Layering.cmake)\n"
       "velstram_check_includes(\${PROJECT_SOURCE_DIR}/src/${from}/Reader.h \"${allowed}\")\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SCRATCH} -B ${SCRATCH}/build
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE said)
  if((expected STREQUAL "refused") AND NOT failed)
    message(SEND_ERROR "src/${from}/ including src/${to}/ passed the layering check")
  elseif((expected STREQUAL "passes") AND failed)
    message(SEND_ERROR "src/${from}/ including src/${to}/ was refused: ${said}")
  endif()
endforeach()
