# The about box and the TWinXP component: a library of their own, so their
# tests need nothing else of the window.
add_library(quorbit_about STATIC ${CMAKE_CURRENT_LIST_DIR}/aboutbox.cpp ${CMAKE_CURRENT_LIST_DIR}/winxp.cpp)
set_target_properties(quorbit_about PROPERTIES AUTOMOC ON)
target_link_libraries(quorbit_about PUBLIC Qt6::Widgets)
