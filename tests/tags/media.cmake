# The TagLib and Exiv2 readers, on files that ffmpeg, mutagen and exiv2 make
# and on files made to exhaust them.
add_executable(media_tests tags/media_test.cpp tags/hostilefiles_test.cpp)
target_include_directories(media_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(media_tests PRIVATE quorbit_media GTest::gtest GTest::gtest_main)
target_compile_definitions(media_tests PRIVATE QUORBIT_FUZZ_FOLDER="${PROJECT_SOURCE_DIR}/fuzz")
gtest_discover_tests(media_tests PROPERTIES ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=")
# Runs that name files from those tags and dates.
add_executable(metadatanames_tests rename/metadatanames_test.cpp)
target_include_directories(metadatanames_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(metadatanames_tests PRIVATE quorbit_rename GTest::gtest GTest::gtest_main)
gtest_discover_tests(metadatanames_tests PROPERTIES ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=")
