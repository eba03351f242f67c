# The same bytes from every build of one commit, wherever and whenever it runs
# (tests/release/reproducible_build.sh checks it).
#
# Time: the linker stamps each PE file with a time (and a checksum over it); it
# reads SOURCE_DATE_EPOCH for that time, so every link gets the source's date:
# SOURCE_DATE_EPOCH from the environment when set, else the time of the last
# commit, else a fixed value (a source tree outside git). A nested build is given
# MOSSGATE_SOURCE_DATE_EPOCH so that it stamps with the same time.
# Paths: __FILE__ and debug information name files relative to the source and
# build folders, never by where those folders lie.
if(NOT DEFINED MOSSGATE_SOURCE_DATE_EPOCH)
    set(MOSSGATE_SOURCE_DATE_EPOCH 946684800) # 2000-01-01, outside git
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        set(MOSSGATE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
    else()
        find_package(Git QUIET)
        if(GIT_FOUND)
            # Only this source tree's own history counts, not one it is copied into.
            execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --git-path logs/HEAD
                WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE git_places OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE git_failed ERROR_QUIET)
            string(REPLACE "\n" ";" git_places "${git_places}")
            set(git_top "")
            if(NOT git_failed)
                list(GET git_places 0 git_top)
            endif()
            if(git_top STREQUAL PROJECT_SOURCE_DIR)
                execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE git_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
                if(git_time)
                    set(MOSSGATE_SOURCE_DATE_EPOCH ${git_time})
                endif()
                # A new commit or checkout configures again, and so takes its time.
                list(GET git_places 1 git_log)
                get_filename_component(git_log ${git_log} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
                if(EXISTS ${git_log})
                    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_log})
                endif()
            endif()
        endif()
    endif()
endif()
if(NOT MOSSGATE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${MOSSGATE_SOURCE_DATE_EPOCH}', not seconds since 1970")
endif()

add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
if(WIN32)
    foreach(lang C CXX)
        set(CMAKE_${lang}_LINKER_LAUNCHER
            ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${MOSSGATE_SOURCE_DATE_EPOCH})
    endforeach()
endif()
