# Shared compile settings for the project's own targets: warnings as errors,
# and the sanitizers when BRINDEL_SANITIZE is on.
set(BRINDEL_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-unused-parameter)

if(BRINDEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(BRINDEL_POOL_DEBUG=1)
endif()

function(brindel_target target)
  target_compile_options(${target} PRIVATE ${BRINDEL_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# brindel_test(NAME SOURCES sources... LIBS libs... [LABELS labels...])
# One GoogleTest executable, each test case registered with CTest; tests run
# with a private program folder and config folder, and no display. Every test
# carries the label NAME and the given LABELS (e.g. nosanitize for tests too
# slow for the sanitizer run).
# The environment and labels are set from a file included after discovery:
# gtest_discover_tests flattens list-valued PROPERTIES, which turned
# ENVIRONMENT's entries into stray property names and lost the labels.
function(brindel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  brindel_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} brindel-testmain GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS)
  set(labels ${name} ${T_LABELS})
  set(properties_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${properties_file}"
"foreach(t IN LISTS ${name}_TESTS)
  set_tests_properties(\"\${t}\" PROPERTIES
    ENVIRONMENT \"QT_QPA_PLATFORM=offscreen;BRINDEL_SHARE=${BRINDEL_SHARE_DIR};OMP_THREAD_LIMIT=1;TZ=JST-9\"
    LABELS \"${labels}\")
endforeach()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_file}")
endfunction()
include(GoogleTest)
