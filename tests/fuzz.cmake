# Hostile input: a replay of each fuzz target's saved inputs in every build,
# and with ONDAVO_FUZZ the libFuzzer targets themselves (scripts/fuzz).

set(ondavo_fuzz_dir ${CMAKE_CURRENT_LIST_DIR}/fuzz)
set(ondavo_fuzz_targets io_faults)

# What a target needs besides its own source: the in-memory files, the
# core, and the path of the codec it binds (it also links it, so the codec's
# coverage counts from the first input).
function(ondavo_fuzz_sources target name)
  target_sources(${target} PRIVATE ${ondavo_fuzz_dir}/${name}_fuzzer.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/fake_file_system.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/test_support.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${ondavo_fuzz_dir})
  target_link_libraries(${target} PRIVATE ondavo_convert Vek)
  target_compile_definitions(${target} PRIVATE ONDAVO_FUZZ_CODEC="$<TARGET_FILE:Vek>"
                                                ${ondavo_test_paths})
endfunction()

foreach(name IN LISTS ondavo_fuzz_targets)
  add_executable(${name}_replay ${ondavo_fuzz_dir}/replay_main.cpp)
  ondavo_fuzz_sources(${name}_replay ${name})
  set(inputs ${ondavo_fuzz_dir}/corpus/${name})
  if(EXISTS ${ondavo_fuzz_dir}/regressions/${name})
    list(APPEND inputs ${ondavo_fuzz_dir}/regressions/${name})
  endif()
  add_test(NAME fuzz_corpus.${name} COMMAND ${name}_replay ${inputs})
endforeach()

if(NOT ONDAVO_FUZZ)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ONDAVO_FUZZ needs clang: configure with CC=clang CXX=clang++")
endif()
if(NOT ONDAVO_SANITIZE)
  message(FATAL_ERROR "ONDAVO_FUZZ runs under the sanitizers: add -DONDAVO_SANITIZE=ON")
endif()

# Coverage guides the fuzzer through the code under test only: the targets'
# own checking and the in-memory files are left out of it, which also keeps
# them fast. The targets link libFuzzer's main.
target_compile_options(Vek PRIVATE -fsanitize=fuzzer-no-link
  -fsanitize-coverage-ignorelist=${ondavo_fuzz_dir}/coverage_ignore.txt)
target_compile_options(ondavo_convert PRIVATE -fsanitize=fuzzer-no-link)
foreach(name IN LISTS ondavo_fuzz_targets)
  add_executable(fuzz_${name})
  ondavo_fuzz_sources(fuzz_${name} ${name})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endforeach()
add_custom_target(fuzzers)
foreach(name IN LISTS ondavo_fuzz_targets)
  add_dependencies(fuzzers fuzz_${name})
endforeach()
