# The converter window's tests, on a display (Xvfb in `make test`) with the
# real codec library.
if(TARGET ondavo_window)
  add_executable(app_tests
    ${CMAKE_CURRENT_LIST_DIR}/app_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_window_test.cpp)
  target_link_libraries(app_tests PRIVATE ondavo_window ondavo_test_support)
  add_dependencies(app_tests Vek)
  # One test moves the display's one pointer: nothing else may run meanwhile.
  gtest_discover_tests(app_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "app."
                       DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 60 RUN_SERIAL TRUE)

  # The installed desktop files and programs (none on Windows).
  if(NOT WIN32)
    add_test(NAME app.desktop_files
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/desktop_files_test ${PROJECT_BINARY_DIR}
                     ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_DATADIR})
    set_tests_properties(app.desktop_files PROPERTIES TIMEOUT 120)
  endif()
endif()
