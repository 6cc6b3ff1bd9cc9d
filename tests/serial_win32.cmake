# The serial core on the Win32 API under Wine, each test against the virtual relay device
# on a pseudo-terminal mapped as COM1 (scripts/windows/with-relay-device). The device is a
# Linux program, built here with the machine's own compiler although this build is for
# Windows. WaitCommEvent on a pseudo-terminal needs the modem-line library preloaded into
# Wine (VARNIX_WINE_MODEM_LINES, from tests/wine).
find_program(VARNIX_HOST_CXX NAMES c++ g++ REQUIRED)
set(relay_device ${CMAKE_CURRENT_BINARY_DIR}/host/virtual_relay_device)
set(relay_sources
    tools/device_logic.cpp tools/device_runner.cpp tools/device_state.cpp
    tools/pc_frame_parser.cpp tools/port_link.cpp tools/virtual_relay_device.cpp
    link/link_frame.cpp platform/config_folder.cpp serial/posix/port_names_posix.cpp)
list(TRANSFORM relay_sources PREPEND ${PROJECT_SOURCE_DIR}/)
add_custom_command(
    OUTPUT ${relay_device}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/host
    COMMAND ${VARNIX_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror
            -I${PROJECT_SOURCE_DIR}/common -I${PROJECT_SOURCE_DIR}/link
            -I${PROJECT_SOURCE_DIR}/platform -I${PROJECT_SOURCE_DIR}/serial
            -I${PROJECT_SOURCE_DIR}/tools
            -o ${relay_device} ${relay_sources} -pthread
    DEPENDS ${relay_sources}
    COMMENT "Building the virtual relay device (Linux) for the serial tests under Wine")
add_custom_target(host_relay_device ALL DEPENDS ${relay_device})

add_executable(serial_win32_test serial/serial_win32_test.cpp)
target_link_libraries(serial_win32_test PRIVATE GTest::gtest_main varnix_serial_core varnix_link)
target_include_directories(serial_win32_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/link)
add_dependencies(serial_win32_test host_relay_device)

# Test name, then the device's options (separated by commas).
set(serial_win32_cases
    "SerialWin32Test.OpensClosesAndReopensAfreshAndRefusesMissingPorts|--numbers,3"
    "PortNamesWin32.EveryNameOpensInTheDeviceNamespaceSoComTenAndAboveOpen|--numbers,3"
    "SerialWin32Test.AFrameGoesOutAndTheWholeReplyComesBackAsOneChunk|--numbers,3"
    "SerialWin32Test.TheFarEndClosingRequestsAHangup|--hangup-after,1"
    "SerialWin32Test.CarrierChangesAreModemEvents|--numbers,3"
    "SerialWin32Test.LineSettingsReachTheDriverAtOpenAndWhileOpen|--numbers,3"
    "SerialWin32TransferTest.ReadsTheDeviceThenWritesATableThatReadsBackTheSame|--numbers,12")
foreach(case IN LISTS serial_win32_cases)
    string(REGEX REPLACE "[|,]" ";" parts "${case}")
    list(POP_FRONT parts name)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows/with-relay-device ${relay_device}
                     ${CMAKE_CURRENT_BINARY_DIR}/wine-ports ${parts}
                     -- $<TARGET_FILE:serial_win32_test> --gtest_filter=${name})
    # One COM1 for all of them, and mapping it restarts the prefix's server.
    # Passes only when the one test ran and passed; a filter that matches nothing fails.
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 120
        PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
        ENVIRONMENT "WINEPREFIX=${VARNIX_WINE_PREFIX};VARNIX_WINE_MODEM_LINES=${VARNIX_WINE_MODEM_LINES}")
endforeach()
