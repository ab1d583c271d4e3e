# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the "posix"
# thread model, which std::thread and Qt need). Used for Qt as
# well as for Corvantis itself; tools/windows.sh passes the prefix holding the
# cross-built Qt in CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVANTIS_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVANTIS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANTIS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANTIS_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${CORVANTIS_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${CORVANTIS_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come only from the MinGW sysroot and the prefixes
# given in CMAKE_PREFIX_PATH (the cross-built Qt); programs (moc, uic, rcc)
# come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${CORVANTIS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and other programs built here run under Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(CORVANTIS_WINE NAMES wine wine64)
  if(CORVANTIS_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANTIS_WINE})
  endif()
endif()

# The linker would stamp every .exe and .dll with the time it was linked:
# without it, two builds of one source give the same bytes.
foreach(kind IN ITEMS EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
endforeach()
