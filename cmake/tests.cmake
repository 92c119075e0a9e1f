set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(s wine-run wine-up wine-down)
  configure_file(cmake/${s}.sh.in ${CMAKE_BINARY_DIR}/${s}.sh @ONLY FILE_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

enable_testing()
add_test(NAME wine_up COMMAND ${CMAKE_BINARY_DIR}/wine-up.sh)
add_test(NAME wine_down COMMAND ${CMAKE_BINARY_DIR}/wine-down.sh)
# Every entry shares the one prefix, its registry and its display: even under ctest -j, one at a
# time.
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP WINE RESOURCE_LOCK wine_prefix)
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP WINE RESOURCE_LOCK wine_prefix)

# One CTest entry per group of GoogleTest cases: each entry starts Wine once. A group passes when
# it ran at least one case and none failed (a filter that matches nothing must not pass).
function(add_gtest_group name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED WINE RESOURCE_LOCK wine_prefix
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9]" FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()

# The groups are read from the sources, so that a suite that is compiled is also run: each unit
# suite, and each smoke case's first word (StartsLists... and StartsOnce... are one group).
function(test_groups out pattern)
  set(groups "")
  foreach(source ${ARGN})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${source} lines REGEX "${pattern}")
    foreach(line ${lines})
      string(REGEX MATCH "${pattern}" matched "${line}")
      list(APPEND groups ${CMAKE_MATCH_1})
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${source})
  endforeach()
  list(REMOVE_DUPLICATES groups)
  set(${out} ${groups} PARENT_SCOPE)
endfunction()

# Logic without a window, and the store against the test prefix's real registry.
set(UNIT_SOURCES tests/logic_test.cpp tests/exchange_test.cpp tests/store_test.cpp
  tests/restore_test.cpp)
add_executable(unit_tests ${UNIT_SOURCES} tests/support.cpp ${KORVANEL_RC})
target_link_libraries(unit_tests PRIVATE korvanel_core GTest::gtest_main)
test_groups(UNIT_GROUPS "^TEST_?F?\\(([A-Za-z0-9]+)," ${UNIT_SOURCES})
foreach(group ${UNIT_GROUPS})
  add_gtest_group(unit.${group} unit_tests --gtest_filter=${group}.*)
endforeach()

# The smoke drives a real Korvanel.exe: the x86_64 one built here, and the i686 one, which sees
# the 32-bit registry view.
add_executable(smoke_tests tests/smoke.cpp tests/support.cpp)
target_include_directories(smoke_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(smoke_tests PRIVATE GTest::gtest_main)
add_dependencies(smoke_tests Korvanel)
set(KORVANEL_I686_EXE ${CMAKE_SOURCE_DIR}/build/i686/Korvanel.exe CACHE FILEPATH
    "The i686 Korvanel.exe that the i686 smoke drives")
test_groups(SMOKE_GROUPS "^TEST_F\\(Smoke, ([A-Z][a-z0-9]*)" tests/smoke.cpp)
foreach(group ${SMOKE_GROUPS})
  add_gtest_group(smoke.x86_64.${group} smoke_tests --gtest_filter=Smoke.${group}*)
  set_tests_properties(smoke.x86_64.${group} PROPERTIES ENVIRONMENT
    "KORVANEL_EXE=$<TARGET_FILE:Korvanel>;KORVANEL_OTHER_EXE=${KORVANEL_I686_EXE}")
  add_gtest_group(smoke.i686.${group} smoke_tests --gtest_filter=Smoke.${group}*)
  set_tests_properties(smoke.i686.${group} PROPERTIES ENVIRONMENT
    "KORVANEL_EXE=${KORVANEL_I686_EXE};KORVANEL_VIEW=32;KORVANEL_OTHER_EXE=$<TARGET_FILE:Korvanel>")
endforeach()

# Builds the release zips, unpacks them into a fresh folder and runs the smoke from there.
add_test(NAME release_zips COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(release_zips PROPERTIES FIXTURES_REQUIRED WINE RESOURCE_LOCK wine_prefix
                     TIMEOUT 600)

add_test(NAME layers COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_layers.sh)
