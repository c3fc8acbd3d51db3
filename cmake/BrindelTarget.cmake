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

# brindel_test(NAME [WIDGETS] SOURCES sources... LIBS libs... [LABELS labels...])
# One GoogleTest executable, each test case registered with CTest; tests run
# with a private program folder and config folder, and no display. WIDGETS:
# the test shows windows or dialogs and runs under a QApplication; without
# it the test runs under a QGuiApplication and links no Qt Widgets. Every test
# carries the label NAME and the given LABELS (e.g. nosanitize for tests too
# slow for the sanitizer run).
# The environment and labels are set from a file included after discovery:
# gtest_discover_tests flattens list-valued PROPERTIES, which turned
# ENVIRONMENT's entries into stray property names and lost the labels.
function(brindel_test name)
  cmake_parse_arguments(T "WIDGETS" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  brindel_target(${name})
  if(T_WIDGETS)
    set(main brindel-testmain-widgets)
  else()
    set(main brindel-testmain)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${main} GTest::gmock)
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

# brindel_forbid_widgets(targets...)
# Fails the configuration when one of the targets reaches Qt6::Widgets
# through its link libraries: the cores (platform, catalogue, layout,
# recognition, the format readers) run without widgets.
function(brindel_links_widgets target out visited)
  set(found "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libraries ${target} ${property})
    if(NOT libraries)
      continue()
    endif()
    foreach(library IN LISTS libraries)
      # $<LINK_LIBRARY:WHOLE_ARCHIVE,x> and $<LINK_ONLY:x> name a target too.
      string(REGEX REPLACE "^\\$<(LINK_LIBRARY:[A-Z_]+,|LINK_ONLY:)(.*)>$" "\\2" library "${library}")
      if(library STREQUAL "Qt6::Widgets" OR library STREQUAL "Qt::Widgets")
        set(found "${target}")
      elseif(TARGET ${library} AND NOT library IN_LIST visited)
        list(APPEND visited ${library})
        brindel_links_widgets(${library} via "${visited}")
        if(via)
          set(found "${target} -> ${via}")
        endif()
      endif()
      if(found)
        set(${out} "${found}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

function(brindel_forbid_widgets)
  foreach(target IN LISTS ARGN)
    brindel_links_widgets(${target} chain "${target}")
    if(chain)
      message(FATAL_ERROR "${target} links Qt Widgets: ${chain}")
    endif()
  endforeach()
endfunction()
