# Native build: the core, the host tools, and the unit tests with sanitizers.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)

# The core as the product compiles it (the benchmark measures this one).
include(cmake/hardening.cmake)
mossgate_add_core(mossgate_core OpenSSL::Crypto ${MOSSGATE_HARDENING_COMPILE})

if(EXISTS ${PROJECT_SOURCE_DIR}/tools/artwork/make_artwork.cpp)
    add_executable(make_artwork tools/artwork/make_artwork.cpp)
    target_compile_options(make_artwork PRIVATE -Wall -Wextra -Werror)
endif()

include(cmake/host_tools.cmake)

if(MOSSGATE_HOST_TOOLS_ONLY)
    return()
endif()

enable_testing()
find_package(GTest REQUIRED)

# A second copy of the core, checked by AddressSanitizer and UBSan, for the tests.
set(MOSSGATE_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
mossgate_add_core(mossgate_core_checked OpenSSL::Crypto)
target_compile_options(mossgate_core_checked PUBLIC ${MOSSGATE_SANITIZERS})
target_link_options(mossgate_core_checked PUBLIC ${MOSSGATE_SANITIZERS})

file(GLOB MOSSGATE_NATIVE_TESTS CONFIGURE_DEPENDS tests/native/*_test.cpp)
add_executable(native_tests ${MOSSGATE_NATIVE_TESTS})
target_compile_options(native_tests PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(native_tests PRIVATE mossgate_core_checked GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(native_tests DISCOVERY_TIMEOUT 60)

# The house rules of the sources: include directions, no cycles, owners in one header.
find_program(MOSSGATE_PYTHON NAMES python3 REQUIRED)
add_test(NAME structure.layout
         COMMAND ${MOSSGATE_PYTHON} ${PROJECT_SOURCE_DIR}/tests/structure/check_layout.py
                 ${PROJECT_SOURCE_DIR})

# One .clang-format for every C and C++ source git tracks (not run outside a git
# checkout, such as a mutation run's copy).
find_program(MOSSGATE_CLANG_FORMAT NAMES clang-format REQUIRED)
add_test(NAME structure.format
         COMMAND sh -c "git rev-parse --git-dir >/dev/null 2>&1 || exit 77; git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 '${MOSSGATE_CLANG_FORMAT}' --dry-run -Werror"
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(structure.format PROPERTIES SKIP_RETURN_CODE 77)

include(cmake/host_checks.cmake)
