set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(s wine-env wine-run wine-up wine-down)
  configure_file(cmake/${s}.sh.in ${CMAKE_BINARY_DIR}/${s}.sh @ONLY FILE_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

enable_testing()
include(GoogleTest)
add_test(NAME wine_up COMMAND ${CMAKE_BINARY_DIR}/wine-up.sh)
add_test(NAME wine_down COMMAND ${CMAKE_BINARY_DIR}/wine-down.sh)
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP WINE)
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP WINE)

# Logic that needs no window, and the registry store against the test prefix's real registry.
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} ${KORVANEL_RC})
target_link_libraries(unit_tests PRIVATE korvanel_core GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES FIXTURES_REQUIRED WINE TIMEOUT 120)

# Executables with crafted version resources, for pre-filling the fields from a program.
file(GLOB FIXTURE_RCS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fixtures/*.rc)
foreach(rc ${FIXTURE_RCS})
  get_filename_component(fixture ${rc} NAME_WE)
  add_executable(${fixture} WIN32 ${CMAKE_SOURCE_DIR}/tests/fixtures/fixture_main.c ${rc})
  list(APPEND FIXTURE_TARGETS ${fixture})
endforeach()

# Drives the real Korvanel.exe from another process, as a user would.
file(GLOB E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
add_executable(e2e_tests ${E2E_SOURCES})
target_include_directories(e2e_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(e2e_tests PRIVATE GTest::gtest_main comctl32 shell32 version psapi)
add_dependencies(e2e_tests Korvanel korvanel_docs ${FIXTURE_TARGETS})
gtest_discover_tests(e2e_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES FIXTURES_REQUIRED WINE TIMEOUT 180)

add_test(NAME imports_are_system_dlls
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_imports.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:Korvanel>)

# Builds the release zips, unpacks the x86_64 one into a fresh folder and runs it from there.
add_test(NAME release_zip COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(release_zip PROPERTIES FIXTURES_REQUIRED WINE TIMEOUT 900 RUN_SERIAL TRUE)
