# Quenbolt64.exe: 64-bit Windows, and Windows PE x64, which has no 32-bit subsystem.
set(QUENBOLT_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
