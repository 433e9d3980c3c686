# Helpers shared by every folder: our warning set, sanitizers, and one way to declare a test.

# Warnings are errors in our own code, in both builds.
function(brimwell_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

if(BRIMWELL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzers learn from the coverage of the code they drive, so every library is instrumented.
if(BRIMWELL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# brimwell_library(name SOURCES ... [WINDOWS_SOURCES ...] [LIBS ...])
function(brimwell_library name)
  cmake_parse_arguments(L "" "" "SOURCES;WINDOWS_SOURCES;LIBS" ${ARGN})
  set(sources ${L_SOURCES})
  if(WIN32)
    list(APPEND sources ${L_WINDOWS_SOURCES})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
  brimwell_warnings(${name})
endfunction()

# brimwell_test(name SOURCES ... LIBS ... [WINDOWS_ONLY] [NO_TEST] [LOCKS lock...] [TIMEOUT s])
# Under the windows preset CTest runs the executable under Wine through the
# cross-compiling emulator. LOCKS serialises tests that share a registry hive or a port.
# NO_TEST builds the executable only, for a driver script that runs it.
function(brimwell_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NO_MAIN;NO_TEST" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  set(main GTest::gtest_main)
  if(T_NO_MAIN)
    set(main GTest::gtest)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${main} GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  brimwell_warnings(${name})
  # A test's own code is compiled at -O1 in the optimised Windows builds; the product's
  # libraries it exercises keep their flags. -O2 takes a fifth longer to compile each test
  # source, and test sources are most of those builds.
  if(WIN32)
    target_compile_options(${name} PRIVATE $<$<CONFIG:Release>:-O1>)
  endif()
  if(T_NO_TEST)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
endfunction()

# Adds every subfolder of the current folder that brings its own CMakeLists.txt, in name order.
function(brimwell_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
