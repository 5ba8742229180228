# zv_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# One GoogleTest program per behaviour group. The label "threaded" marks the tests that
# also run under ThreadSanitizer; "gui" marks the offscreen window tests.
find_package(GTest QUIET)

function(zv_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(ZV_SANITIZE MATCHES "thread" AND NOT "threaded" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
