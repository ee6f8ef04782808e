# Helpers shared by the CMake files of the subsystems, tests and benchmarks.
#
# Layers, lowest first: common -> platform -> model -> files and the
# conversion core (convert) -> live and the window's video (video) ->
# render -> app -> net; the command-line tools (tools) sit on the core.
# Each library names the layers it may include (LAYERS) and gets an include
# root of its own holding only those source folders, so an include of a
# higher layer does not compile. Each library links its own PUBLIC
# dependencies, lower layers only.

# quorvane_library(<name> LAYERS <folders...> SOURCES <files...>)
function(quorvane_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "LAYERS;SOURCES")
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  # The root is rebuilt at every configure, so a layer taken off the list
  # does not linger from an earlier one (the links are removed, never followed).
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(GLOB old_links LIST_DIRECTORIES true ${root}/*)
  foreach(link ${old_links})
    if(IS_SYMLINK ${link})
      file(REMOVE ${link})
    endif()
  endforeach()
  foreach(folder ${ARG_LAYERS})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${name} ${scope} ${root})
endfunction()

# Chooses the platform layer that the libraries' qv_platform resolves to in
# `target`: "real" (Qt dialogs), "console" (no window system, for
# command-line tools) or "fake" (scripted dialogs, the default).
function(quorvane_platform target variant)
  if(variant STREQUAL "real")
    set_target_properties(${target} PROPERTIES QUORVANE_REAL_PLATFORM ON)
  elseif(variant STREQUAL "console")
    set_target_properties(${target} PROPERTIES QUORVANE_CONSOLE_PLATFORM ON)
  endif()
endfunction()

# A GoogleTest executable. LINK names the highest library it needs (the
# whole program, qv_net, when omitted); RESET names the reset of the
# run-wide records it links (tests/support/reset_<RESET>.cpp): none, model,
# files, convert, video, core (files and video) or all. Each test case
# becomes one CTest test.
function(quorvane_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "RESET" "LINK;SOURCES")
  if(NOT ARG_LINK)
    set(ARG_LINK qv_net)
  endif()
  if(NOT ARG_RESET)
    set(ARG_RESET all)
  endif()
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS}
    ${PROJECT_SOURCE_DIR}/tests/support/reset_${ARG_RESET}.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/temp_dir.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUORVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# The same for tests that start the program: the command port 2023 is fixed,
# so these never run at the same time as each other.
function(quorvane_e2e_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/reset_all.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/temp_dir.cpp ${PROJECT_SOURCE_DIR}/tests/support/process.cpp)
  target_link_libraries(${name} PRIVATE qv_net GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(${name} quorvane quorvane_scripted)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUORVANE_BUILD_DIR=${PROJECT_BINARY_DIR}" RESOURCE_LOCK port2023)
endfunction()
