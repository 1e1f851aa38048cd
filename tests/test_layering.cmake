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
