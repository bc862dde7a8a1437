# CMake toolchain for building x86_64 Windows programs on Debian with MinGW-w64
# (the posix-thread compilers, so std::thread and std::jthread work).
#
# Point TEXTCNV_WINDOWS_PREFIX (a CMake or environment variable) at the folder
# that `make windows-toolchain` fills, so that its Qt and ICU are found:
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=scripts/windows/mingw-w64-x86_64.cmake \
#     -DTEXTCNV_WINDOWS_PREFIX=$(bash scripts/windows/toolchain.sh --print-dir)
#     -DTEXTCNV_XLSXWRITER_PREFIX=$(bash scripts/windows/xlsxwriter.sh)/prefix

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_textcnv_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_textcnv_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_textcnv_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_textcnv_triple}-windres)
# The binutils are not named after the -posix compilers, so say which they are.
find_program(CMAKE_AR ${_textcnv_triple}-ar)
find_program(CMAKE_RANLIB ${_textcnv_triple}-ranlib)
find_program(CMAKE_OBJCOPY ${_textcnv_triple}-objcopy)
find_program(CMAKE_STRIP ${_textcnv_triple}-strip)

# try_compile() projects read this file again without the project's variables,
# so the folder is handed on through the environment.
if(TEXTCNV_WINDOWS_PREFIX)
  set(_textcnv_prefix "${TEXTCNV_WINDOWS_PREFIX}")
  set(ENV{TEXTCNV_WINDOWS_PREFIX} "${TEXTCNV_WINDOWS_PREFIX}")
elseif(DEFINED ENV{TEXTCNV_WINDOWS_PREFIX})
  set(_textcnv_prefix "$ENV{TEXTCNV_WINDOWS_PREFIX}")
endif()

if(TEXTCNV_XLSXWRITER_PREFIX)
  set(_textcnv_xlsxwriter "${TEXTCNV_XLSXWRITER_PREFIX}")
  set(ENV{TEXTCNV_XLSXWRITER_PREFIX} "${TEXTCNV_XLSXWRITER_PREFIX}")
elseif(DEFINED ENV{TEXTCNV_XLSXWRITER_PREFIX})
  set(_textcnv_xlsxwriter "$ENV{TEXTCNV_XLSXWRITER_PREFIX}")
endif()

# Only Windows libraries and headers may be found; never the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${_textcnv_triple})
if(_textcnv_xlsxwriter)
  list(APPEND CMAKE_FIND_ROOT_PATH "${_textcnv_xlsxwriter}")
endif()
if(_textcnv_prefix)
  foreach(_dir qt icu)
    if(EXISTS "${_textcnv_prefix}/${_dir}/lib")
      list(APPEND CMAKE_FIND_ROOT_PATH "${_textcnv_prefix}/${_dir}")
    endif()
  endforeach()
  if(EXISTS "${_textcnv_prefix}/icu/lib")
    set(ICU_ROOT "${_textcnv_prefix}/icu")
  endif()
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's code generators (moc, rcc, uic) are the host's, from Debian's Qt of the
# same version.
if(NOT QT_HOST_PATH)
  set(QT_HOST_PATH /usr)
endif()
if(NOT QT_HOST_PATH_CMAKE_DIR)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()

# Tests and try_run() run the Windows programs under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
