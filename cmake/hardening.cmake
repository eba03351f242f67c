# The compiler's and linker's protections, stated rather than left to defaults.
#
# Compiling: a stack canary in every function with a local array or an address
# taken (-fstack-protector-strong), and the fortified string and memory calls
# where the compiler knows a buffer's size (_FORTIFY_SOURCE=2; the headers take it
# only when optimising). MinGW-w64 takes both from libssp, linked statically.
#
# Linking, for the Windows images: ASLR with the relocations kept, DEP, 64-bit
# ASLR with the full address range, and for 32-bit images NO_SEH. GNU ld writes no
# SafeSEH table, so the 32-bit image says instead that it registers no structured
# exception handler: GCC's i686 code unwinds with DWARF tables, never through the
# fs:[0] chain, and the C runtime installs only an unhandled-exception filter,
# which the system calls from its own frame. tests/structure/check_hardening.py
# holds both claims against the built programs.
set(MOSSGATE_HARDENING_COMPILE -fstack-protector-strong
    $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE> $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)

if(WIN32)
    set(MOSSGATE_HARDENING_LINK -fstack-protector-strong -Wl,--dynamicbase,--nxcompat)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(APPEND MOSSGATE_HARDENING_LINK -Wl,--no-seh)
    else()
        list(APPEND MOSSGATE_HARDENING_LINK -Wl,--high-entropy-va)
    endif()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/link-maps)
endif()

# Where the linker's map of a program goes: the structural test finds the stack
# protector's handler there, and the bill of materials the libraries linked in.
function(mossgate_link_map target)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    target_link_options(${target} PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/link-maps/${name}.map)
endfunction()
