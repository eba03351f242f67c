# Tests of the stand-in programs carried in the package (cmake/payload_programs.cmake),
# run under Wine like the twin's: the real stand-ins are started from a test program
# beside them, one fresh prefix for each test suite.
file(GLOB MOSSGATE_STANDIN_TEST_SOURCES CONFIGURE_DEPENDS tests/windows/standins/*_test.cpp)
add_executable(standin_tests ${MOSSGATE_STANDIN_TEST_SOURCES}
                             tests/windows/standins/standin_harness.cpp)
target_compile_options(standin_tests PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(standin_tests PRIVATE windows_test_support gtest_main setupapi)
add_dependencies(standin_tests ${MOSSGATE_PAYLOAD_TARGETS})
set(MOSSGATE_STANDIN_SUITES DriverDevice ExitCodeOverride StartRecord StartDelay ControlPanel)
foreach(suite IN LISTS MOSSGATE_STANDIN_SUITES)
    add_test(NAME standin.${suite} COMMAND standin_tests --gtest_filter=${suite}.*)
endforeach()
