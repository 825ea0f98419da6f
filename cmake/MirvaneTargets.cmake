# Shared settings for every target of the project.

function(mirvane_compile_options target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
    if(MIRVANE_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  if(MIRVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# mirvane_library(name SOURCES ... DEPENDS ...): the library of one folder, linked as mirvane::name.
function(mirvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)  # headers only, so far
    add_library(mirvane_${name} INTERFACE)
    add_library(mirvane::${name} ALIAS mirvane_${name})
    target_include_directories(mirvane_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(mirvane_${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(mirvane_${name} STATIC ${ARG_SOURCES})
  add_library(mirvane::${name} ALIAS mirvane_${name})
  target_include_directories(mirvane_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(mirvane_${name} PUBLIC ${ARG_DEPENDS})
  mirvane_compile_options(mirvane_${name})
endfunction()

# mirvane_test(name SOURCES... LIBS ...): one GoogleTest executable registered with CTest.
function(mirvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  mirvane_compile_options(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
