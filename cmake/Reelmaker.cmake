# Helpers shared by every CMakeLists of the project.
#
# rm_library(name DIR dir [QT] LIBS ...): a static library from every .cpp below dir
# (recursively), globbed so that new files need no CMake edit.
function(rm_library name)
  cmake_parse_arguments(A "" "DIR" "LIBS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp ${A_DIR}/*.c)
  foreach(ex ${A_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(NOT srcs)
    # An engine with nothing yet still exists as a target so that dependents link.
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# rm_gtest(name DIR dir LIBS ...): one GoogleTest executable from every .cpp in dir.
function(rm_gtest name)
  cmake_parse_arguments(A "" "DIR" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    RM_APP_DIR="${RM_APP_DIR}" RM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ENVIRONMENT_MODIFICATION "RM_UNDER_CTEST=set:1")
endfunction()

# rm_qtest(DIR dir LIBS ...): one QtTest executable per .cpp in dir, run on the offscreen platform.
function(rm_qtest)
  cmake_parse_arguments(A "" "DIR" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    set(name qtest_${base})
    add_executable(${name} ${src})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${A_LIBS} Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
      RM_APP_DIR="${RM_APP_DIR}" RM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()
endfunction()
