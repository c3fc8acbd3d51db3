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

# brindel_test(NAME sources... LIBS libs...)
# One GoogleTest executable, each test case registered with CTest; tests run
# with a private program folder and config folder, and no display.
function(brindel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  brindel_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} brindel-testmain GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;BRINDEL_SHARE=${BRINDEL_SHARE_DIR};OMP_THREAD_LIMIT=1;TZ=JST-9"
               LABELS ${name})
endfunction()
include(GoogleTest)
