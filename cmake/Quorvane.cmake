# Helpers shared by the CMake files of the subsystems, tests and benchmarks.

set(QUORVANE_CORE_LIBS qv_common qv_app qv_net qv_model qv_render qv_files qv_video qv_live)

# A static library for one subsystem folder.
function(quorvane_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# Links the whole core with the real or the fake platform layer. The
# subsystems call each other both ways, so they are linked as one group.
function(quorvane_link target variant)
  if(variant STREQUAL "real")
    set(platform qv_platform_real)
  else()
    set(platform qv_platform_fake)
  endif()
  string(JOIN "," group ${QUORVANE_CORE_LIBS} ${platform})
  target_link_libraries(${target} PRIVATE "$<LINK_GROUP:RESCAN,${group}>"
    ${OpenCV_LIBS} OpenGL::GL OpenGL::GLU GLUT::GLUT Qt5::Widgets OpenSSL::Crypto
    Threads::Threads)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endfunction()

# A GoogleTest executable linked with the scripted platform layer. Each test
# case becomes one CTest test. Extra sources may follow the name.
function(quorvane_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/temp_dir.cpp)
  quorvane_link(${name} fake)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUORVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# The same for tests that start the program: the command port 2023 is fixed,
# so these never run at the same time as each other.
function(quorvane_e2e_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/temp_dir.cpp ${PROJECT_SOURCE_DIR}/tests/support/process.cpp)
  quorvane_link(${name} fake)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  add_dependencies(${name} quorvane quorvane_scripted)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUORVANE_BUILD_DIR=${PROJECT_BINARY_DIR}" RESOURCE_LOCK port2023)
endfunction()
