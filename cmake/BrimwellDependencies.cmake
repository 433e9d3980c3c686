# Third-party pieces: GoogleTest, TinyXML (built with TIXML_USE_STL, as Debian does) and the
# header-only parts of Boost. For Windows they come from the mingw folder that setup fills.
if(WIN32)
  set(BRIMWELL_MINGW_DEPS ${PROJECT_SOURCE_DIR}/.deps/${BRIMWELL_MINGW_DEPS_FOLDER}
      CACHE PATH "Cross-built dependencies")
  list(APPEND CMAKE_FIND_ROOT_PATH ${BRIMWELL_MINGW_DEPS})
  list(APPEND CMAKE_PREFIX_PATH ${BRIMWELL_MINGW_DEPS})
endif()

find_package(GTest CONFIG REQUIRED)
find_package(Threads REQUIRED)

add_library(brimwell_boost INTERFACE)
target_compile_definitions(brimwell_boost INTERFACE BOOST_ALL_NO_LIB BOOST_ERROR_CODE_HEADER_ONLY
  BOOST_DATE_TIME_NO_LIB BOOST_BIND_GLOBAL_PLACEHOLDERS)
if(WIN32)
  target_include_directories(brimwell_boost SYSTEM INTERFACE ${BRIMWELL_MINGW_DEPS}/include)
  target_compile_definitions(brimwell_boost INTERFACE _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN
    NOMINMAX BOOST_USE_WINDOWS_H)
  target_link_libraries(brimwell_boost INTERFACE ws2_32 mswsock)
else()
  target_link_libraries(brimwell_boost INTERFACE Threads::Threads)
endif()

find_library(TINYXML_LIBRARY NAMES tinyxml REQUIRED)
find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
add_library(brimwell_tinyxml INTERFACE)
target_include_directories(brimwell_tinyxml SYSTEM INTERFACE ${TINYXML_INCLUDE_DIR})
target_link_libraries(brimwell_tinyxml INTERFACE ${TINYXML_LIBRARY})
target_compile_definitions(brimwell_tinyxml INTERFACE TIXML_USE_STL)
