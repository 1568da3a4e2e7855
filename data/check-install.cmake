# Installs the build into an empty prefix and checks that exactly the expected
# files land there: the program and the shell's program with its manual page
# and completion, its language files where it looks for them,
# what the desktop needs to show it in its menu and software centre, and its
# copyright file, which Debian wants in every package.
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${build} --prefix ${prefix}
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(expected
    bin/quorbit
    bin/quorbit-cli
    share/bash-completion/completions/quorbit-cli
    share/man/man1/quorbit-cli.1.gz
    share/applications/${app_id}.desktop
    share/doc/quorbit/copyright
    share/icons/hicolor/scalable/apps/${app_id}.svg
    share/metainfo/${app_id}.metainfo.xml
    share/quorbit/language/English.ini
    share/quorbit/language/Russian.ini)
list(SORT expected)
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  list(JOIN installed "\n  " got)
  list(JOIN expected "\n  " want)
  message(FATAL_ERROR "Installed:\n  ${got}\nexpected:\n  ${want}")
endif()

# The program takes itself for installed, and so keeps its settings in the
# user's folder and never beside itself, because it finds its language files
# under share/quorbit/ and none beside it; the listing above misses an empty
# folder.
if(IS_DIRECTORY ${prefix}/bin/language)
  message(FATAL_ERROR "bin/language/ would make the installed program a portable one")
endif()

# Started and closed on a virtual display, the installed program writes its
# settings to the user's folder, though the folder it lies in is writable
# (skipped, with exit code 77, where there is no virtual display to be had).
execute_process(COMMAND sh ${display_test} --installed ${prefix} RESULT_VARIABLE failed OUTPUT_VARIABLE said
                ERROR_VARIABLE said)
if(failed AND NOT failed EQUAL 77)
  message(FATAL_ERROR "The installed program, started and closed:\n${said}")
endif()

# Installed side by side, the metainfo's launchable must name the desktop file.
execute_process(COMMAND appstreamcli validate-tree --no-net --strict ${prefix} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "appstreamcli validate-tree failed")
endif()
