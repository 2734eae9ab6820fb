# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 compiler, posix
# thread model (package g++-mingw-w64-i686-posix):
#
#   cmake -S . -B build-windows --toolchain cmake/mingw-i686.cmake \
#         -DONDAVO_WINDOWS_DEPS=$(scripts/bootstrap-windows --print-prefix)
#
# ONDAVO_WINDOWS_DEPS (or the environment variable of that name) is the prefix
# that scripts/bootstrap-windows fills with the static libraries Debian does
# not carry for Windows: libopus, wxWidgets with expat and libpng, GoogleTest.
# Everything is linked statically, so the programs and Vek.dll import system
# DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ONDAVO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ONDAVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ONDAVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ONDAVO_MINGW_TRIPLE}-windres)

if(NOT ONDAVO_WINDOWS_DEPS AND DEFINED ENV{ONDAVO_WINDOWS_DEPS})
  set(ONDAVO_WINDOWS_DEPS "$ENV{ONDAVO_WINDOWS_DEPS}")
endif()
if(NOT ONDAVO_WINDOWS_DEPS)
  message(FATAL_ERROR "Set ONDAVO_WINDOWS_DEPS to the prefix of the Windows libraries "
                      "(scripts/bootstrap-windows --print-prefix)")
endif()
# try_compile projects read this file again and need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ONDAVO_WINDOWS_DEPS)

# Headers, libraries and packages only from the compiler's own sysroot and the
# prefix; programs (wxrc, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ONDAVO_MINGW_TRIPLE} ${ONDAVO_WINDOWS_DEPS})
set(CMAKE_PREFIX_PATH ${ONDAVO_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (libopus) sees the prefix's .pc files and nothing of the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${ONDAVO_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The cross wx-config, or FindwxWidgets takes the host's. The host's wxrc
# compiles the layouts the same way for any target.
set(wxWidgets_CONFIG_EXECUTABLE "${ONDAVO_WINDOWS_DEPS}/bin/wx-config" CACHE FILEPATH
    "wx-config of the Windows build of wxWidgets")
find_program(wxWidgets_wxrc_EXECUTABLE NAMES wxrc wxrc-3.2 NO_CMAKE_FIND_ROOT_PATH)

# SSE2 arithmetic as on x86-64, rather than x87's 80-bit intermediates: the
# codec's float results then match the Linux build's bit for bit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# libgcc, libstdc++ and winpthread linked in, so no MinGW DLL is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
