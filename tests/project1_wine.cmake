# Project1.exe of the Windows package under Wine and a virtual X server, with the windows
# platform plugin, driven through the X server against the virtual relay device on the
# pseudo-terminal that the serial tests' COM1 leads to (serial_win32.cmake).
find_program(VARNIX_XVFB_RUN xvfb-run REQUIRED)
find_program(VARNIX_PYTHON NAMES python3 REQUIRED)
add_test(NAME project1_under_wine_reads_edits_writes_saves_loads_and_stores_the_port
         COMMAND ${VARNIX_XVFB_RUN} -a -s "-screen 0 1024x768x24"
                 ${VARNIX_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/wine/project1_e2e.py
                 ${CMAKE_BINARY_DIR}/Varnix-${PROJECT_VERSION}-windows-x64/Project1.exe
                 ${relay_device} ${PROJECT_SOURCE_DIR}/scripts/windows/wine-map-port
                 ${VARNIX_WINE_MODEM_LINES} ${CMAKE_CURRENT_BINARY_DIR}/wine-ports)
# It restarts the prefix's server, which ends every program running in it.
set_tests_properties(project1_under_wine_reads_edits_writes_saves_loads_and_stores_the_port
    PROPERTIES RUN_SERIAL TRUE TIMEOUT 300
    ENVIRONMENT "WINEPREFIX=${VARNIX_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# The package's zip, unpacked alone, starts in a new prefix with nothing else installed.
add_test(NAME project1_package_starts_in_a_new_wine_prefix
         COMMAND ${VARNIX_XVFB_RUN} -a -s "-screen 0 1024x768x24"
                 ${CMAKE_CURRENT_SOURCE_DIR}/wine/fresh_prefix_start.sh
                 ${CMAKE_BINARY_DIR}/Varnix-${PROJECT_VERSION}-windows-x64.zip
                 ${PROJECT_SOURCE_DIR}/scripts/windows/wine-prefix)
set_tests_properties(project1_package_starts_in_a_new_wine_prefix PROPERTIES TIMEOUT 300)

# The commands of the package's Project1.exe as processes under Wine, with no display,
# against the virtual relay device on the pseudo-terminal that Wine's COM1 leads to
# (scripts/windows/with-relay-device, which maps COM1 and COM12 for the script's own
# device and so restarts the prefix's server).
add_test(NAME project1_commands_under_wine_against_the_relay_device
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli/command_line_test.sh
                 ${CMAKE_BINARY_DIR}/Varnix-${PROJECT_VERSION}-windows-x64/Project1.exe
                 ${relay_device} ${PROJECT_SOURCE_DIR}/scripts/windows/with-relay-device)
set_tests_properties(project1_commands_under_wine_against_the_relay_device
    PROPERTIES RUN_SERIAL TRUE TIMEOUT 600
    ENVIRONMENT "WINEPREFIX=${VARNIX_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;VARNIX_WINE_MODEM_LINES=${VARNIX_WINE_MODEM_LINES}")

# The installer in a new prefix: upgrade over an older build, start, .mdb association,
# silent uninstall with and without the settings, nothing left behind.
add_test(NAME project1_installer_installs_upgrades_and_uninstalls_in_a_new_wine_prefix
         COMMAND ${VARNIX_XVFB_RUN} -a -s "-screen 0 1024x768x24"
                 ${CMAKE_CURRENT_SOURCE_DIR}/wine/installer_test.sh
                 ${CMAKE_BINARY_DIR}/Varnix-${PROJECT_VERSION}-windows-x64-setup.exe
                 ${CMAKE_BINARY_DIR}/Varnix-${PROJECT_VERSION}-windows-x64 ${PROJECT_VERSION})
set_tests_properties(project1_installer_installs_upgrades_and_uninstalls_in_a_new_wine_prefix
    PROPERTIES TIMEOUT 300
    ENVIRONMENT "VARNIX_PUBLISHER=${VARNIX_PUBLISHER};VARNIX_COPYRIGHT=${VARNIX_COPYRIGHT};VARNIX_HOMEPAGE=${VARNIX_HOMEPAGE}")
