# Qt Test executables of the folder browser, one per file, each run offscreen.
foreach(name comboboxes shelltree shellviews)
    add_executable(${name}_qtests ${CMAKE_CURRENT_LIST_DIR}/${name}_qtest.cpp)
    set_target_properties(${name}_qtests PROPERTIES AUTOMOC ON)
    target_include_directories(${name}_qtests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
    target_link_libraries(${name}_qtests PRIVATE quorbit_browser Qt6::Test)
    add_test(NAME ${name}_qtests COMMAND ${name}_qtests)
    set_tests_properties(${name}_qtests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=en_US.UTF-8;LC_ALL=")
endforeach()
# The window against a drive that stops answering: a quorbit_testfs mount, stalled and woken.
add_window_test(stalledmount_qtests ${CMAKE_CURRENT_LIST_DIR}/stalledmount_qtest.cpp quorbit_app quorbit_about
                quorbit_browser)
target_compile_definitions(stalledmount_qtests
                           PRIVATE QUORBIT_TESTFS="$<$<TARGET_EXISTS:quorbit_testfs>:$<TARGET_FILE:quorbit_testfs>>")
set_tests_properties(stalledmount_qtests PROPERTIES TIMEOUT 300)
