# The reference codec's tests, run against the built libVek.so and vek-codec
# (started as the other tests start programs).
include(GoogleTest)

add_executable(vek_tests
  ${CMAKE_CURRENT_LIST_DIR}/codec_test.cpp)
target_link_libraries(vek_tests PRIVATE Vek ondavo_test_support GTest::gtest_main)
target_compile_definitions(vek_tests PRIVATE
  VEK_TEST_DATA_DIR="${CMAKE_CURRENT_LIST_DIR}/data"
  VEK_CODEC_TOOL="$<TARGET_FILE:vek-codec>")
add_dependencies(vek_tests vek-codec)
# Each test runs in a process of its own, so a test that calls the library
# before any Init really is the first caller.
gtest_discover_tests(vek_tests TEST_PREFIX "codec." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# How true the sound of each mode stays, measured by the benchmark's own code
# (scripts/codec-quality, Python with numpy, so Linux builds only).
if(NOT WIN32)
  add_test(NAME codec.quality
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/codec-quality --check
      --speech ${CMAKE_CURRENT_LIST_DIR}/data/speech.pcm --levels=-20,-6,-1
      --bin $<TARGET_FILE_DIR:vek-codec>)
endif()
