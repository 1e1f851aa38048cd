# The program's layers: one static library per folder of src/, built from that folder's own
# sources, each reaching only downwards,
#   app -> advice -> tiff -> dialogue -> platform,   app -> filters -> platform.
# velstram_layer(FOLDER SOURCES ... MAY_INCLUDE ... [PUBLIC lib ...] [PRIVATE lib ...]) makes
# the library velstram_FOLDER and stops the configuration on any include, in its sources or
# in the folder's headers, of a folder it may not reach. The checked files are configure
# dependencies, so the next build after such an edit refuses it too.

# An include is judged by the file it reaches, whatever its form: a quoted name is looked
# for beside the including file first, as the compilers do, and then, like a name in angle
# brackets, under src/, the one include root of every library. Names that reach no folder of
# src/ (<vector>, <sys/stat.h>) are the system's.
function(velstram_check_includes file allowed)
  set(root ${PROJECT_SOURCE_DIR}/src)
  get_filename_component(beside ${file} DIRECTORY)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "include[ \t]*([<\"])([^>\"]*)" named "${line}")
    set(delimiter ${CMAKE_MATCH_1})
    set(named ${CMAKE_MATCH_2})
    cmake_path(ABSOLUTE_PATH named BASE_DIRECTORY ${root} NORMALIZE OUTPUT_VARIABLE reached)
    cmake_path(ABSOLUTE_PATH named BASE_DIRECTORY ${beside} NORMALIZE OUTPUT_VARIABLE nearby)
    if(delimiter STREQUAL "\"" AND EXISTS ${nearby})
      set(reached ${nearby})
    endif()
    cmake_path(RELATIVE_PATH reached BASE_DIRECTORY ${root} OUTPUT_VARIABLE inside)
    string(REGEX REPLACE "/.*$" "" folder "${inside}")
    if(inside MATCHES "/" AND NOT folder STREQUAL ".." AND IS_DIRECTORY ${root}/${folder}
       AND NOT folder IN_LIST allowed)
      file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
      string(REPLACE ";" ", " reach "${allowed}")
      message(FATAL_ERROR "${shown}: ${line}\n"
                          "  reaches src/${folder}/ against the layering; it may include only "
                          "from ${reach} (cmake/Layering.cmake)")
    endif()
  endforeach()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
endfunction()

function(velstram_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;MAY_INCLUDE;PUBLIC;PRIVATE")
  set(allowed ${folder} ${LAYER_MAY_INCLUDE})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
  set(sources)
  foreach(source IN LISTS LAYER_SOURCES)
    # Sources from outside src/ (the fuzz targets' own platform calls) are not layers.
    if(NOT IS_ABSOLUTE ${source})
      if(NOT source MATCHES "^${folder}/[^/]+$")
        message(FATAL_ERROR "src/${source} is not in src/${folder}/: each library is built "
                            "from its own folder's sources (cmake/Layering.cmake)")
      endif()
      set(source ${PROJECT_SOURCE_DIR}/src/${source})
    endif()
    list(APPEND sources ${source})
  endforeach()
  foreach(file IN LISTS headers sources)
    string(FIND ${file} ${PROJECT_SOURCE_DIR}/src/ at)
    if(at EQUAL 0)
      velstram_check_includes(${file} "${allowed}")
    endif()
  endforeach()
  add_library(velstram_${folder} STATIC ${sources})
  target_include_directories(velstram_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(velstram_${folder} PUBLIC ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE}
                                                  velstram_warnings)
endfunction()
