# Cross-compiles for 64-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRIMWELL_MINGW_HOST x86_64-w64-mingw32)
# Cross-built GoogleTest and TinyXML: .deps/<this folder>, filled by scripts/setup.sh.
set(BRIMWELL_MINGW_DEPS_FOLDER mingw)
# Wine's Windows DLL folder of this bitness (stdole2.tlb for widl).
set(BRIMWELL_WINE_WINDOWS_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
