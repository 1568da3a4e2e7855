# Starts the real program on an X server with a session bus of its own
# (xvfb-run, dbus-run-session) and drives it through AT-SPI alone: Counter, its
# prefix, Rename and Exit, reading the New name column's verdicts; skipped
# where xvfb-run, dbus-run-session or pyatspi is missing.
add_test(NAME atspi_test
         COMMAND sh -c "command -v python3 >/dev/null && exec python3 \"$@\" || (echo 'SKIP: python3 is not installed' && exit 77)"
                 atspi_test ${CMAKE_CURRENT_LIST_DIR}/atspi_test.py $<TARGET_FILE:quorbit> ${PROJECT_BINARY_DIR}/language)
set_tests_properties(atspi_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
