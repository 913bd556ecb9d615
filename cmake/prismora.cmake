# Helpers shared by the module CMakeLists files.

# prismora_unit_test(NAME src... LIBS lib...): one GoogleTest executable,
# registered as ONE CTest test (each Wine process start costs over a second).
function(prismora_unit_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  # The limit only catches a hang: under an emulator the Windows tests run many
  # times slower.
  set_tests_properties(${name} PROPERTIES TIMEOUT 1800)
endfunction()
