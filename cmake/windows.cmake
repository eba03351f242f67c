# MinGW-w64 builds: the product (i686) and its test twin (x86_64) from one source.
include(ExternalProject)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MOSSGATE_TRIPLE i686-w64-mingw32)
    set(MOSSGATE_MANIFEST_ARCH X86)
else()
    set(MOSSGATE_TRIPLE x86_64-w64-mingw32)
    set(MOSSGATE_MANIFEST_ARCH amd64)
endif()

# Bootstrap's cache folder, from the one place the scripts take it from too.
execute_process(
    COMMAND bash -c ". \"$1\" && printf %s \"$MOSSGATE_CACHE\"" _ ${PROJECT_SOURCE_DIR}/tools/lib/common.sh
    OUTPUT_VARIABLE MOSSGATE_CACHE_DIR COMMAND_ERROR_IS_FATAL ANY)
set(MOSSGATE_DEPS_DIR "${MOSSGATE_CACHE_DIR}/openssl-current" CACHE PATH
    "Static libcrypto builds made by tools/bootstrap.sh")
set(MOSSGATE_CRYPTO_DIR ${MOSSGATE_DEPS_DIR}/${MOSSGATE_TRIPLE})
if(NOT EXISTS ${MOSSGATE_CRYPTO_DIR}/lib/libcrypto.a)
    message(FATAL_ERROR "No static libcrypto in ${MOSSGATE_CRYPTO_DIR}: run tools/bootstrap.sh")
endif()
add_library(mossgate_crypto STATIC IMPORTED)
set_target_properties(mossgate_crypto PROPERTIES
    IMPORTED_LOCATION ${MOSSGATE_CRYPTO_DIR}/lib/libcrypto.a
    INTERFACE_INCLUDE_DIRECTORIES ${MOSSGATE_CRYPTO_DIR}/include)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Every Windows program of the build, the test programs too, gets the protections.
include(cmake/hardening.cmake)
add_compile_options(${MOSSGATE_HARDENING_COMPILE})
add_link_options(${MOSSGATE_HARDENING_LINK})

# The stand-in programs carried in the sample package. A payload-only build makes
# just these (the product's build uses one to get their x86_64 builds).
option(MOSSGATE_PAYLOAD_ONLY "Build only the programs carried in the package" OFF)
include(cmake/payload_programs.cmake)
if(MOSSGATE_PAYLOAD_ONLY)
    return()
endif()
set(MOSSGATE_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${MOSSGATE_GENERATED})

# Everything is linked statically: no libgcc, libstdc++, winpthread or libcrypto DLL.
set(MOSSGATE_STATIC_LINK -static -static-libgcc -static-libstdc++)
add_compile_options(-ffunction-sections -fdata-sections)
# The program reports through results, never exceptions: without them the C++
# runtime's unwinder stays out of the executable.
set(MOSSGATE_PRODUCT_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
add_link_options(-Wl,--gc-sections ${MOSSGATE_STATIC_LINK})

mossgate_add_core(mossgate_core mossgate_crypto ${MOSSGATE_PRODUCT_FLAGS})

# The program's Windows code, apart from its entry point, so that tests link it too.
file(GLOB MOSSGATE_WINDOWS_SOURCES CONFIGURE_DEPENDS
     app/*.cpp env/*.cpp package/*.cpp procedures/*.cpp common/win32/*.cpp)
list(REMOVE_ITEM MOSSGATE_WINDOWS_SOURCES ${PROJECT_SOURCE_DIR}/app/main.cpp)
add_library(mossgate_win STATIC ${MOSSGATE_WINDOWS_SOURCES})
target_compile_options(mossgate_win PRIVATE ${MOSSGATE_WARNINGS} ${MOSSGATE_PRODUCT_FLAGS})
target_compile_definitions(mossgate_win PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(mossgate_win PUBLIC mossgate_core ole32 user32 gdi32 advapi32 setupapi ntdll)
# Not hot, and twice the size at -O3, which inlines its delegating methods into
# one another through speculative devirtualisation.
set_source_files_properties(app/accessibility.cpp PROPERTIES COMPILE_OPTIONS -Os)

# Host tools (artwork, mossgate-package) are built natively by a nested build.
set(MOSSGATE_HOST_TOOLS ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${MOSSGATE_HOST_TOOLS}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DMOSSGATE_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
               -DMOSSGATE_SOURCE_DATE_EPOCH=${MOSSGATE_SOURCE_DATE_EPOCH}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${MOSSGATE_HOST_TOOLS}/make_artwork ${MOSSGATE_HOST_TOOLS}/mossgate-package
                     ${MOSSGATE_HOST_TOOLS}/ordinary_user ${MOSSGATE_HOST_TOOLS}/x_cursor
                     ${MOSSGATE_HOST_TOOLS}/x_probe
)

add_custom_command(
    OUTPUT ${MOSSGATE_GENERATED}/background.bmp ${MOSSGATE_GENERATED}/mossgate.ico
    COMMAND ${MOSSGATE_HOST_TOOLS}/make_artwork ${MOSSGATE_GENERATED}
    DEPENDS ${MOSSGATE_HOST_TOOLS}/make_artwork
    COMMENT "Drawing the background picture and the icon")
configure_file(resources/setup.manifest.in ${MOSSGATE_GENERATED}/setup.manifest @ONLY)

include(cmake/package.cmake)

set(MOSSGATE_RESOURCE_INPUTS
    ${MOSSGATE_GENERATED}/background.bmp ${MOSSGATE_GENERATED}/mossgate.ico
    ${MOSSGATE_GENERATED}/setup.manifest ${MOSSGATE_PACKAGE_FILE})
set_source_files_properties(resources/setup.rc PROPERTIES
    OBJECT_DEPENDS "${MOSSGATE_RESOURCE_INPUTS}"
    INCLUDE_DIRECTORIES "${MOSSGATE_GENERATED};${MOSSGATE_PACKAGE_DIR}")

add_executable(MOSSGATE_CD_Pack_Setup WIN32 app/main.cpp resources/setup.rc)
target_compile_options(MOSSGATE_CD_Pack_Setup PRIVATE ${MOSSGATE_WARNINGS} ${MOSSGATE_PRODUCT_FLAGS})
target_link_libraries(MOSSGATE_CD_Pack_Setup PRIVATE mossgate_win)
target_link_options(MOSSGATE_CD_Pack_Setup PRIVATE -s)
mossgate_link_map(MOSSGATE_CD_Pack_Setup)

include(cmake/windows_tests.cmake)
