# Host tools that a Windows build runs: the packer (the artwork tool sits in
# host.cmake). Also built by the nested MOSSGATE_HOST_TOOLS_ONLY build of each
# Windows build (see the ExternalProject host_tools in windows.cmake).
set(MOSSGATE_PACKER_SOURCES
    tools/packer/list_package.cpp
    tools/packer/manifest.cpp
    tools/packer/packer.cpp
    tools/packer/packer_error.cpp
    tools/packer/write_package.cpp
)
add_executable(packer ${MOSSGATE_PACKER_SOURCES})
target_compile_options(packer PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(packer PRIVATE mossgate_core)

if(MOSSGATE_HOST_TOOLS_ONLY)
    return()
endif()

# The tests run a copy of the packer built against the sanitized core
# (mossgate_core_checked, defined in host.cmake after this file).
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
add_executable(packer_checked ${MOSSGATE_PACKER_SOURCES})
target_compile_options(packer_checked PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(packer_checked PRIVATE mossgate_core_checked)

add_executable(packer_tests tests/packer/packer_test.cpp)
target_compile_options(packer_tests PRIVATE ${MOSSGATE_WARNINGS})
target_compile_definitions(packer_tests PRIVATE MOSSGATE_PACKER="$<TARGET_FILE:packer_checked>")
target_link_libraries(packer_tests PRIVATE mossgate_core_checked GTest::gtest_main)
add_dependencies(packer_tests packer_checked)
gtest_discover_tests(packer_tests TEST_PREFIX packer. DISCOVERY_TIMEOUT 60)
