# Starts the real program on an X server (xvfb-run), closes it with Ctrl+Q and
# checks the settings it wrote; skipped where xvfb-run or xdotool is missing.
add_test(NAME real_display_test
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/real_display_test.sh $<TARGET_FILE:quorbit> ${PROJECT_BINARY_DIR}/language)
set_tests_properties(real_display_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
