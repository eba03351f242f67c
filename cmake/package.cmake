# The sample package that the program embeds as RCDATA 100 (resources/setup.rc
# reads package.bin from MOSSGATE_PACKAGE_DIR). It is made at build time by the
# tools/mossgate-package from a generated manifest, never committed:
#
#   package/package.manifest  NAME<TAB>RESERVED<TAB>SOURCE, sources as absolute paths
#   package/files/            every payload under its entry name (what an
#                             installation must hold byte for byte)
#   package/package.bin       the package
#
# Payloads: text stand-ins for the .inf, .cat and .sys entries, written from the
# templates in resources/package by make_standins.cmake; the readme
# (resources/package/readme.txt); the control panels and driver setup programs
# from cmake/payload_programs.cmake. The product (i686) carries i686 builds under
# the ".exe" names and x86_64 builds, from a nested payload-only build, under the
# "_x64.exe" names; the twin (x86_64) carries its own x86_64 builds under both.
# A payload target that does not exist is replaced by a placeholder text.
set(MOSSGATE_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(MOSSGATE_PACKAGE_FILE ${MOSSGATE_PACKAGE_DIR}/package.bin)
set(MOSSGATE_PACKAGE_MANIFEST ${MOSSGATE_PACKAGE_DIR}/package.manifest)
set(MOSSGATE_PACKAGE_FILES ${MOSSGATE_PACKAGE_DIR}/files)
set(MOSSGATE_PACKAGE_TEMPLATES ${PROJECT_SOURCE_DIR}/resources/package)
file(MAKE_DIRECTORY ${MOSSGATE_PACKAGE_FILES})

# --- The directory, in order ------------------------------------------------
# Parallel lists: entry name, reserved value, kind, and for the stand-ins the
# driver letter, bits and family (or the payload target of a program).
set(mossgate_names)
set(mossgate_reserved)
set(mossgate_descriptions) # KIND|NAME|LETTER|BITS|FAMILY|TARGET

macro(mossgate_entry name reserved description)
    list(APPEND mossgate_names ${name})
    list(APPEND mossgate_reserved ${reserved})
    list(APPEND mossgate_descriptions "${description}")
endmacro()

# The driver letter in lower case, and "64" in the names of 64-bit files.
macro(mossgate_name_parts letter bits)
    string(TOLOWER ${letter} lower)
    set(tag "")
    if(${bits} STREQUAL "64")
        set(tag 64)
    endif()
endmacro()

# .cat/.sys pairs of one driver and bitness, each catalogue before its driver file.
macro(mossgate_driver_pairs letter bits reserved)
    mossgate_name_parts(${letter} ${bits})
    foreach(family ${ARGN})
        foreach(kind cat sys)
            mossgate_entry(kestrine_mossgate${lower}${tag}_${family}.${kind} ${reserved}
                           "${kind}|kestrine_mossgate${lower}${tag}_${family}.${kind}|${letter}|${bits}|${family}|")
        endforeach()
    endforeach()
endmacro()

macro(mossgate_driver_infs letter bits reserved)
    mossgate_name_parts(${letter} ${bits})
    foreach(family ${ARGN})
        mossgate_entry(KSMmeMossgate${lower}${tag}_${family}.inf ${reserved}
                       "inf|KSMmeMossgate${lower}${tag}_${family}.inf|${letter}|${bits}|${family}|")
    endforeach()
endmacro()

# Control panel, setup program, 64-bit setup program.
macro(mossgate_driver_programs letter reserved)
    string(TOLOWER ${letter} lower)
    mossgate_entry(MOSSGATE_${letter}_ControlPanel.exe ${reserved}
                   "program|MOSSGATE_${letter}_ControlPanel.exe|${letter}|||control_panel_${lower}")
    mossgate_entry(MOSSGATE_${letter}_Setup.exe ${reserved}
                   "program|MOSSGATE_${letter}_Setup.exe|${letter}|||driver_setup_${lower}")
    mossgate_entry(MOSSGATE_${letter}_Setup_x64.exe ${reserved}
                   "program|MOSSGATE_${letter}_Setup_x64.exe|${letter}|||driver_setup_${lower}")
endmacro()

set(c 0x0047282C) # mossgate::RESERVED_DRIVER_C, also the readme's
set(d 0x0047284C) # mossgate::RESERVED_DRIVER_D
mossgate_driver_pairs(C 32 ${c} win10 vista win7 2003 xp)   # 0-9
mossgate_driver_pairs(C 64 ${c} win10 vista win7 2003)      # 10-17
mossgate_driver_programs(C ${c})                            # 18-20
mossgate_driver_infs(C 32 ${c} vista win10 win7 2003 xp)    # 21-25
mossgate_driver_infs(C 64 ${c} vista win7 2003 win10)       # 26-29
mossgate_driver_pairs(D 32 ${d} vista win7 win10 2003 xp)   # 30-39
mossgate_driver_pairs(D 64 ${d} 2003 vista win7 win10)      # 40-47
mossgate_driver_programs(D ${d})                            # 48-50
mossgate_driver_infs(D 32 ${d} vista 2003 win7 win10 xp)    # 51-55
mossgate_driver_infs(D 64 ${d} vista win7 2003 win10)       # 56-59
mossgate_entry(readme.txt ${c} "readme|readme.txt|||||")   # 60
unset(c)
unset(d)

list(LENGTH mossgate_names count)
if(NOT count EQUAL 61)
    message(FATAL_ERROR "the sample package lists ${count} entries, not 61")
endif()

# --- The x86_64 driver setup programs of the product ---------------------------
# A nested payload-only build of this source tree for x86_64.
set(mossgate_x64_programs)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MOSSGATE_PAYLOAD_X64 ${CMAKE_BINARY_DIR}/payload-x64)
    set(mossgate_x64_targets)
    foreach(target driver_setup_c driver_setup_d)
        if(TARGET ${target})
            list(APPEND mossgate_x64_targets ${target})
            get_target_property(output_name ${target} OUTPUT_NAME)
            if(NOT output_name)
                set(output_name ${target})
            endif()
            set(mossgate_x64_${target} ${MOSSGATE_PAYLOAD_X64}/bin/${output_name}${CMAKE_EXECUTABLE_SUFFIX})
            list(APPEND mossgate_x64_programs ${mossgate_x64_${target}})
        endif()
    endforeach()
    if(mossgate_x64_programs)
        ExternalProject_Add(payload_x64
            SOURCE_DIR ${PROJECT_SOURCE_DIR}
            BINARY_DIR ${MOSSGATE_PAYLOAD_X64}
            CMAKE_GENERATOR Ninja
            CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-x86_64.cmake
                       -DMOSSGATE_PAYLOAD_ONLY=ON
                       -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
                       -DMOSSGATE_DEPS_DIR=${MOSSGATE_DEPS_DIR}
                       -DMOSSGATE_SOURCE_DATE_EPOCH=${MOSSGATE_SOURCE_DATE_EPOCH}
            BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${mossgate_x64_targets}
            INSTALL_COMMAND ""
            BUILD_ALWAYS ON
            BUILD_BYPRODUCTS ${mossgate_x64_programs}
        )
    endif()
endif()

# --- Sources, the manifest, and the steps that make them -----------------------
set(mossgate_manifest "# The sample package, generated by cmake/package.cmake: NAME<TAB>RESERVED<TAB>SOURCE\n")
set(mossgate_standins)      # the text files that make_standins.cmake writes
set(mossgate_standin_list)  # its input
set(mossgate_program_deps)  # program targets and files the package is made from
set(mossgate_copy_programs) # commands that put the programs into files/
foreach(name reserved description IN ZIP_LISTS mossgate_names mossgate_reserved mossgate_descriptions)
    set(source ${MOSSGATE_PACKAGE_FILES}/${name})
    string(REPLACE "|" ";" fields "${description}")
    list(GET fields 5 target)
    if(target AND TARGET ${target})
        if(name MATCHES "_x64\\.exe$" AND DEFINED mossgate_x64_${target})
            set(program ${mossgate_x64_${target}})
            list(APPEND mossgate_program_deps payload_x64 ${program})
        else()
            set(program $<TARGET_FILE:${target}>)
            list(APPEND mossgate_program_deps ${target})
        endif()
        set(source ${program})
        list(APPEND mossgate_copy_programs
             COMMAND ${CMAKE_COMMAND} -E copy ${program} ${MOSSGATE_PACKAGE_FILES}/${name})
    else()
        if(target)
            message(STATUS "Sample package: no target ${target}, ${name} is a placeholder")
        endif()
        list(APPEND mossgate_standins ${source})
        string(APPEND mossgate_standin_list "${description}\n")
    endif()
    string(APPEND mossgate_manifest "${name}\t${reserved}\t${source}\n")
endforeach()
list(REMOVE_DUPLICATES mossgate_program_deps)

# Rewritten only when it changes, so that an unchanged list rebuilds nothing.
set(MOSSGATE_STANDIN_LIST ${MOSSGATE_PACKAGE_DIR}/standins.list)
file(CONFIGURE OUTPUT ${MOSSGATE_STANDIN_LIST} CONTENT "${mossgate_standin_list}")
file(GENERATE OUTPUT ${MOSSGATE_PACKAGE_MANIFEST} CONTENT "${mossgate_manifest}")

add_custom_command(
    OUTPUT ${mossgate_standins}
    COMMAND ${CMAKE_COMMAND} -DLIST=${MOSSGATE_STANDIN_LIST} -DTEMPLATES=${MOSSGATE_PACKAGE_TEMPLATES}
            -DOUT=${MOSSGATE_PACKAGE_FILES} -P ${MOSSGATE_PACKAGE_TEMPLATES}/make_standins.cmake
    DEPENDS ${MOSSGATE_STANDIN_LIST}
            ${MOSSGATE_PACKAGE_TEMPLATES}/make_standins.cmake
            ${MOSSGATE_PACKAGE_TEMPLATES}/driver.inf.in
            ${MOSSGATE_PACKAGE_TEMPLATES}/driver.sys.in
            ${MOSSGATE_PACKAGE_TEMPLATES}/catalogue.cat.in
            ${MOSSGATE_PACKAGE_TEMPLATES}/program.exe.in
            ${MOSSGATE_PACKAGE_TEMPLATES}/readme.txt
    COMMENT "Writing the stand-in files of the sample package"
    VERBATIM)

add_custom_command(
    OUTPUT ${MOSSGATE_PACKAGE_FILE}
    COMMAND ${MOSSGATE_HOST_TOOLS}/mossgate-package write ${MOSSGATE_PACKAGE_MANIFEST}
            ${MOSSGATE_PACKAGE_FILE}
    ${mossgate_copy_programs}
    DEPENDS ${MOSSGATE_HOST_TOOLS}/mossgate-package ${MOSSGATE_PACKAGE_MANIFEST} ${mossgate_standins}
            ${mossgate_program_deps}
    COMMENT "Packing the sample package"
    VERBATIM)
add_custom_target(sample_package ALL DEPENDS ${MOSSGATE_PACKAGE_FILE})

# The package the build embeds, read from the built program itself and from
# package.bin: every entry verifies, it holds what the manifest names (programs of
# the right machine in the right places), and it extracts to the manifest's files.
enable_testing()
add_test(NAME package.embedded
    COMMAND ${PROJECT_SOURCE_DIR}/tests/mossgate-package/check_embedded_package.sh
            ${MOSSGATE_HOST_TOOLS}/mossgate-package ${MOSSGATE_PACKAGE_FILE}
            ${MOSSGATE_PACKAGE_MANIFEST} ${CMAKE_SIZEOF_VOID_P}
            $<TARGET_FILE:MOSSGATE_CD_Pack_Setup>)
set_tests_properties(package.embedded PROPERTIES LABELS package)

unset(mossgate_names)
unset(mossgate_reserved)
unset(mossgate_descriptions)
unset(mossgate_manifest)
unset(mossgate_standin_list)
