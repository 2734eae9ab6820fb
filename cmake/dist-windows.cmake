# `make dist-windows`: the target `dist` puts into dist/ the installer
# Ondavo-VERSION-setup.exe (NSIS, res/ondavo.nsi) and the same programs in
# Ondavo-VERSION-windows.zip with a readme. The programs are stripped of their
# debugging information first, which halves them.
set(ondavo_dist_name Ondavo-${PROJECT_VERSION})
set(ondavo_dist_dir ${PROJECT_BINARY_DIR}/dist)
set(ondavo_stage_top ${PROJECT_BINARY_DIR}/dist-stage)
set(ondavo_stage ${ondavo_stage_top}/${ondavo_dist_name})
set(ondavo_setup ${ondavo_dist_dir}/${ondavo_dist_name}-setup.exe)
set(ondavo_zip ${ondavo_dist_dir}/${ondavo_dist_name}-windows.zip)
# Windows' line ends, for any editor there.
configure_file(${PROJECT_SOURCE_DIR}/res/readme-windows.txt.in
               ${PROJECT_BINARY_DIR}/readme-windows.txt @ONLY NEWLINE_STYLE CRLF)

set(ondavo_dist_programs ondavo ondavo-cli vek-codec Vek)
set(ondavo_strip_commands)
foreach(target IN LISTS ondavo_dist_programs)
  list(APPEND ondavo_strip_commands COMMAND ${CMAKE_STRIP} --strip-all -o
       ${ondavo_stage}/$<TARGET_FILE_NAME:${target}> $<TARGET_FILE:${target}>)
endforeach()
# libsndfile-1.dll and the LAME and mpg123 DLLs, from beside the programs.
foreach(dll IN LISTS ONDAVO_SNDFILE_DLLS)
  list(APPEND ondavo_strip_commands COMMAND ${CMAKE_STRIP} --strip-all -o ${ondavo_stage}/${dll}
       ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_BINDIR}/${dll})
endforeach()

add_custom_command(
  OUTPUT ${ondavo_setup} ${ondavo_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ondavo_stage_top}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ondavo_stage} ${ondavo_dist_dir}
  ${ondavo_strip_commands}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/readme-windows.txt
          ${ondavo_stage}/readme.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${ondavo_stage}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/THIRD-PARTY ${ondavo_stage}/THIRD-PARTY.txt
  # -WX: a warning (a missing file, a misspelt define) fails the build.
  # makensis (Debian's nsis, installed by scripts/setup-windows-machine) is looked
  # for when `dist` is built, so a build folder configured before it came
  # still finds it.
  COMMAND makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
          -DSTAGE=${ondavo_stage} -DOUTFILE=${ondavo_setup}
          ${PROJECT_SOURCE_DIR}/res/ondavo.nsi
  COMMAND ${CMAKE_COMMAND} -E rm -f ${ondavo_zip}
  COMMAND ${CMAKE_COMMAND} -E chdir ${ondavo_stage_top}
          ${CMAKE_COMMAND} -E tar cf ${ondavo_zip} --format=zip ${ondavo_dist_name}
  DEPENDS ${ondavo_dist_programs} ${PROJECT_SOURCE_DIR}/res/ondavo.nsi
          ${PROJECT_SOURCE_DIR}/res/ondavo.ico ${PROJECT_BINARY_DIR}/readme-windows.txt
          ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY
  COMMENT "Packing ${ondavo_dist_name}-setup.exe and ${ondavo_dist_name}-windows.zip"
  VERBATIM)
add_custom_target(dist DEPENDS ${ondavo_setup} ${ondavo_zip})

# `make test-windows` builds `dist` before it runs the tests. The test takes
# 4 to 5 minutes under qemu-i386 on a loaded machine.
if(ONDAVO_BUILD_TESTS)
  add_test(NAME dist.installer
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-installer ${PROJECT_BINARY_DIR})
  set_tests_properties(dist.installer PROPERTIES TIMEOUT 600)
endif()
