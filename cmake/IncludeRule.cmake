# Fails when a source includes a header by a path that climbs out of its folder ("../") or by an
# absolute path. A quoted include is first looked up beside the including file, so such a path
# reaches any subsystem's headers whatever the target links, and the per-library include folders
# (see the top CMakeLists.txt) no longer hold the line. Headers are named by their subsystem path
# ("storage/settings.h") and reached by linking that subsystem's library.
#
#   cmake -DROOT=<source folder> -P cmake/IncludeRule.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
    message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P IncludeRule.cmake")
endif()

set(_patterns *.h *.hpp *.c *.cc *.cpp)
find_package(Git QUIET)
set(_listed FALSE)
if(GIT_FOUND AND EXISTS ${ROOT}/.git)
    # The tracked sources and the new ones not yet added; build folders are ignored by git, and
    # the files generated there (moc) do climb out of their folder.
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${ROOT} ls-files --cached --others --exclude-standard
                            -- ${_patterns}
                    OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
    if(_rc EQUAL 0)
        string(REPLACE "\n" ";" _files "${_out}")
        list(FILTER _files EXCLUDE REGEX "^$")
        set(_listed TRUE)
    endif()
endif()
if(NOT _listed)
    # A source tree without git: its source folders, never a build folder.
    set(_globs)
    foreach(_folder app bench core devices engine midi palmlet storage tests tools ui)
        foreach(_pattern ${_patterns})
            list(APPEND _globs ${ROOT}/${_folder}/${_pattern})
        endforeach()
    endforeach()
    file(GLOB_RECURSE _files RELATIVE ${ROOT} ${_globs})
endif()

set(_faults 0)
foreach(_file ${_files})
    if(NOT EXISTS ${ROOT}/${_file}) # deleted but not yet staged
        continue()
    endif()
    file(STRINGS ${ROOT}/${_file} _lines REGEX "^[ \t]*#[ \t]*include")
    foreach(_line ${_lines})
        if(_line MATCHES "^[ \t]*#[ \t]*include[_a-z]*[ \t]*[<\"]([^>\"]*)[>\"]")
            set(_path ${CMAKE_MATCH_1})
            if(_path MATCHES "(^|/)\\.\\.(/|$)" OR _path MATCHES "^/")
                message(SEND_ERROR "${_file}: ${_line}\n"
                                   "  name the header by its subsystem path and link that subsystem's library")
                math(EXPR _faults "${_faults} + 1")
            endif()
        endif()
    endforeach()
endforeach()

list(LENGTH _files _count)
if(_count EQUAL 0)
    message(FATAL_ERROR "no sources found under ${ROOT}")
endif()
if(_faults GREATER 0)
    message(FATAL_ERROR "${_faults} include(s) climb out of their folder")
endif()
message(STATUS "${_count} sources: every include names its header by its subsystem path")
