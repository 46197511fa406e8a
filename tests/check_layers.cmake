# cmake -DSOURCE_DIR=... -P check_layers.cmake
cmake_policy(SET CMP0057 NEW)
# The map of the layers: each with the layers it may include, lowest first,
# a layer naming only layers above it in this list (so there is no circle):
#
#   data
#   network         data                        the share: no widgets
#   uibase          data
#   appearance      data uibase
#   reports/engine  data
#   reports         data uibase reports/engine
#   forms           data network uibase appearance reports
#   app             data uibase forms
#
# Fails when a file of src/ includes a header of a layer its own may not use,
# or names no layer; and when the map claims a use no file makes, so the map
# (and docs/architecture.md, which draws it) stays true.
set(layers data network uibase appearance reports/engine reports forms app)
set(uses_data "")
set(uses_network data)
set(uses_uibase data)
set(uses_appearance data uibase)
set(uses_reports/engine data)
set(uses_reports data uibase reports/engine)
set(uses_forms data network uibase appearance reports)
set(uses_app data uibase forms)

function(layer_of path out)
    if(path MATCHES "^reports/engine/")
        set(${out} reports/engine PARENT_SCOPE)
        return()
    endif()
    string(REGEX REPLACE "/.*" "" head "${path}")
    if(head IN_LIST layers)
        set(${out} ${head} PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

set(faults "")
# No circle: each layer uses only those before it.
set(seen "")
foreach(layer IN LISTS layers)
    foreach(used IN LISTS uses_${layer})
        if(NOT used IN_LIST seen)
            string(APPEND faults "  the map: ${layer} uses ${used}, which is not below it\n")
        endif()
    endforeach()
    list(APPEND seen ${layer})
endforeach()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
set(made "")
foreach(file IN LISTS sources)
    layer_of("${file}" own)
    if(own STREQUAL "")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/src/${file} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
        layer_of("${header}" theirs)
        if(theirs STREQUAL "")
            string(APPEND faults "  ${file}: \"${header}\" does not name its layer\n")
        elseif(NOT theirs STREQUAL own)
            if(theirs IN_LIST uses_${own})
                list(APPEND made "${own}>${theirs}")
            else()
                string(APPEND faults "  ${file}: includes ${header}; ${own} may not use ${theirs}\n")
            endif()
        endif()
    endforeach()
endforeach()
foreach(layer IN LISTS layers)
    foreach(used IN LISTS uses_${layer})
        if(NOT "${layer}>${used}" IN_LIST made)
            string(APPEND faults "  the map: ${layer} is said to use ${used}, but no file of it does\n")
        endif()
    endforeach()
endforeach()
list(LENGTH sources count)
if(faults)
    message(FATAL_ERROR "Includes against the map of the layers:\n${faults}")
endif()
message(STATUS "${count} files: every include names its layer and follows the map")
