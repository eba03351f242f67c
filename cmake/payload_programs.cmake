# Windows programs carried in the sample package: the stand-in driver setup
# programs and control panels. They honour the contract of the real ones, which
# lie outside this project, so that the product runs end to end. Included before
# anything else of the Windows build (a payload-only build makes nothing more), so
# the static linking that the product gets later is given to these targets here.
set(MOSSGATE_PAYLOAD_LINK -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s)

add_library(standin_settings STATIC tools/standins/common/standin_settings.cpp)
target_include_directories(standin_settings PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(standin_settings PRIVATE ${MOSSGATE_WARNINGS})
target_compile_options(standin_settings PUBLIC -ffunction-sections -fdata-sections)
target_compile_definitions(standin_settings PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

file(GLOB MOSSGATE_DRIVER_SETUP_SOURCES CONFIGURE_DEPENDS tools/standins/driver_setup/*.cpp)

# One source for each kind of program, built once per driver.
set(MOSSGATE_PAYLOAD_TARGETS)
foreach(driver C D)
    string(TOLOWER ${driver} suffix)

    add_executable(driver_setup_${suffix} WIN32 ${MOSSGATE_DRIVER_SETUP_SOURCES})
    set_target_properties(driver_setup_${suffix} PROPERTIES OUTPUT_NAME MOSSGATE_${driver}_Setup)
    target_link_libraries(driver_setup_${suffix} PRIVATE standin_settings setupapi advapi32)

    add_executable(control_panel_${suffix} WIN32 tools/standins/control_panel/control_panel.cpp)
    set_target_properties(control_panel_${suffix} PROPERTIES
        OUTPUT_NAME MOSSGATE_${driver}_ControlPanel)
    target_link_libraries(control_panel_${suffix} PRIVATE standin_settings user32 gdi32)

    foreach(target driver_setup_${suffix} control_panel_${suffix})
        target_compile_options(${target} PRIVATE ${MOSSGATE_WARNINGS})
        target_compile_definitions(${target} PRIVATE MOSSGATE_STANDIN_DRIVER_${driver})
        target_link_options(${target} PRIVATE ${MOSSGATE_PAYLOAD_LINK})
        mossgate_link_map(${target})
        list(APPEND MOSSGATE_PAYLOAD_TARGETS ${target})
    endforeach()
endforeach()
