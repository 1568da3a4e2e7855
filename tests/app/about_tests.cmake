find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(about_tests ${CMAKE_CURRENT_LIST_DIR}/aboutbox_test.cpp)
set_target_properties(about_tests PROPERTIES AUTOMOC ON)
# quorbit_settings checks the dialog's names against the language keys.
target_link_libraries(about_tests PRIVATE quorbit_about quorbit_settings Qt6::Test)
add_test(NAME about_tests COMMAND about_tests)
set_tests_properties(about_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
