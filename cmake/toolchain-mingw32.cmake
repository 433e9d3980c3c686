# Cross-compiles for 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRIMWELL_MINGW_HOST i686-w64-mingw32)
set(BRIMWELL_MINGW_DEPS_FOLDER mingw-i686)
set(BRIMWELL_WINE_WINDOWS_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
# The .def files name the exports undecorated; the linker maps them to the stdcall symbols
# (DllGetClassObject@12) without a warning for each.
set(BRIMWELL_MINGW_LIBRARY_LINK_FLAGS "-Wl,--enable-stdcall-fixup")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
