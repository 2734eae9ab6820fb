# Hostile input and failing files.

ondavo_test(io_faults_tests ${CMAKE_CURRENT_LIST_DIR}/io_faults_test.cpp)
