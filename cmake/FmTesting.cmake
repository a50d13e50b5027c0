# GoogleTest: Debian's package on Linux; compiled from Debian's source package with the
# cross compiler for Windows, linked statically, and run under Wine.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(FM_GTEST_LIBS gtest gmock)
else()
  find_package(GTest REQUIRED)
  set(FM_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

# fm_add_test(NAME name LABELS label... SOURCES source... [LIBS library...] [QT] [OWN_MAIN] [WATCHES_FOLDERS]
#             [TIMEOUT seconds])
# One test program is one ctest entry; cross-built programs run under Wine with label "windows"
# only, so `ctest -L unit` in a Linux folder never needs Wine.
#   QT        a Qt test: tests/QtTestMain.cpp makes the QApplication, on the offscreen platform
#             unless QT_QPA_PLATFORM says otherwise, before the tests run.
#   OWN_MAIN  the sources bring their own main() (with QT: they still get the offscreen default).
#   WATCHES_FOLDERS  the program records folders through directory reads: under Wine no two such
#             programs run at once, since one Wine server serves all their watches and has
#             been seen to hand one program's changes to another's.
#   TIMEOUT   the time limit of the program (default FM_TEST_TIMEOUT, under Wine FM_WINE_TEST_TIMEOUT):
#             a program stuck in a hang fails after this long instead of holding up the run.
# Each label also names a build target, tests_<label>, that builds the programs carrying it.
set(FM_TEST_TIMEOUT 120 CACHE STRING "Default time limit of one test program, in seconds")
set(FM_WINE_TEST_TIMEOUT 300 CACHE STRING "Default time limit of one test program under Wine, in seconds")

function(fm_add_test)
  cmake_parse_arguments(T "QT;OWN_MAIN;WATCHES_FOLDERS" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE fmcore ${T_LIBS} ${FM_GTEST_LIBS})
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets Qt6::Test)
    fm_qt_program(${T_NAME})
    if(NOT T_OWN_MAIN)
      target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/QtTestMain.cpp)
    endif()
  elseif(NOT T_OWN_MAIN)
    if(CMAKE_CROSSCOMPILING)
      target_link_libraries(${T_NAME} PRIVATE gtest_main)
    else()
      target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
    endif()
  endif()
  if(CMAKE_CROSSCOMPILING)
    if(NOT T_TIMEOUT)
      set(T_TIMEOUT ${FM_WINE_TEST_TIMEOUT})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${T_NAME}>)
    set_tests_properties(${T_NAME} PROPERTIES LABELS windows
      ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all" FIXTURES_REQUIRED wine_session)
    if(T_WATCHES_FOLDERS)
      set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK wine_folder_watches)
    endif()
  else()
    if(NOT T_TIMEOUT)
      set(T_TIMEOUT ${FM_TEST_TIMEOUT})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  # One build target per label (tests_unit, tests_threads...), so a folder that runs one label
  # builds just its programs.
  foreach(label IN LISTS T_LABELS)
    if(NOT TARGET tests_${label})
      add_custom_target(tests_${label})
    endif()
    add_dependencies(tests_${label} ${T_NAME})
  endforeach()
  if(T_QT)
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    if(CMAKE_CROSSCOMPILING)
      # Wine hands a WINEQT_ variable to the program as QT_: the offscreen platform needs a font
      # folder, and Qt's messages go to stderr instead of the debugger channel.
      set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT
        [[WINEQT_QPA_FONTDIR=Z:\usr\share\fonts\truetype\dejavu]] WINEQT_FORCE_STDERR_LOGGING=1)
    endif()
  endif()
endfunction()
