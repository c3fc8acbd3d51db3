# Shared compile settings for the project's own targets: warnings as errors,
# the sanitizers when BRINDEL_SANITIZE is on, and line tables in place of
# full debug information when BRINDEL_LINE_TABLES is on (CI builds from cold
# and never steps through the code in a debugger).
set(BRINDEL_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-unused-parameter)

if(BRINDEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "BRINDEL_FUZZ needs clang (CC=clang CXX=clang++): libFuzzer comes with it")
  endif()
  # Every library a fuzz target links reports its coverage to libFuzzer and
  # runs under the sanitizers; the targets add -fsanitize=fuzzer (the main).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # clang warns where GCC does not; the GCC builds keep warnings as errors.
  list(REMOVE_ITEM BRINDEL_WARNINGS -Werror)
endif()

if(BRINDEL_LINE_TABLES)
  # After the build type's -g, so this one wins.
  add_compile_options(-g1)
endif()

if(BRINDEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(BRINDEL_POOL_DEBUG=1)
endif()

function(brindel_target target)
  target_compile_options(${target} PRIVATE ${BRINDEL_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# The executables that run longest, with the number of entries each is split
# into (SHARDS given to brindel_test wins). Their entries start first in a
# parallel run (COST), so that none of them is left to run alone at its end:
# CTest learns the times of a build folder's earlier runs, but CI's folder
# is new each time.
set(BRINDEL_TEST_SHARDS
  document_crash_tests=4 shell_imaging_tests=4 recognition_accuracy_tests=3 ocr_road_tests=3
  viewer_tests=2 ocrctl_tests=2 recognition_engine_tests=2 ocrctl_area_tests=2
  foreign_formats_tests=2 imaging_engine_tests=2 browser_tests=2)

# brindel_test(NAME [WIDGETS] [PER_CASE] [SHARDS n] SOURCES sources... LIBS libs...
#              [LABELS labels...])
# One GoogleTest executable; tests run with a private program folder and
# config folder, and no display. WIDGETS: the test shows windows or dialogs
# and runs under a QApplication; without it the test runs under a
# QGuiApplication and links no Qt Widgets. Every test carries the label NAME
# and the given LABELS (e.g. nosanitize for tests too slow for the sanitizer
# run).
# The executable runs once as one CTest entry: starting a process per case
# cost far more than the cases themselves (above all under the sanitizers).
# SHARDS n splits a long executable into n entries through GoogleTest's own
# sharding, so it does not hold up a parallel run. PER_CASE registers each
# case on its own, for executables whose cases need a process each.
function(brindel_test name)
  cmake_parse_arguments(T "WIDGETS;PER_CASE" "SHARDS" "SOURCES;LIBS;LABELS" ${ARGN})
  set(cost 0)
  foreach(entry IN LISTS BRINDEL_TEST_SHARDS)
    if(entry MATCHES "^${name}=([0-9]+)$")
      set(cost 100)
      if(NOT T_SHARDS)
        set(T_SHARDS ${CMAKE_MATCH_1})
      endif()
    endif()
  endforeach()
  add_executable(${name} ${T_SOURCES})
  brindel_target(${name})
  if(T_WIDGETS)
    set(main brindel-testmain-widgets)
  else()
    set(main brindel-testmain)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${main} GTest::gmock)
  set(labels ${name} ${T_LABELS})
  set(environment QT_QPA_PLATFORM=offscreen BRINDEL_SHARE=${BRINDEL_SHARE_DIR} OMP_THREAD_LIMIT=1 TZ=JST-9)
  if(T_PER_CASE)
    # gtest_discover_tests flattens list-valued PROPERTIES, so the
    # environment and labels are set from a file included after discovery.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS)
    set(properties_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
    file(WRITE "${properties_file}"
"foreach(t IN LISTS ${name}_TESTS)
  set_tests_properties(\"\${t}\" PROPERTIES
    ENVIRONMENT \"${environment}\"
    LABELS \"${labels}\")
endforeach()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_file}")
    return()
  endif()
  if(NOT T_SHARDS)
    set(T_SHARDS 1)
  endif()
  math(EXPR last "${T_SHARDS} - 1")
  foreach(shard RANGE 0 ${last})
    if(T_SHARDS EQUAL 1)
      set(test_name ${name})
      set(shard_environment ${environment})
    else()
      set(test_name ${name}/${shard})
      set(shard_environment ${environment} GTEST_TOTAL_SHARDS=${T_SHARDS} GTEST_SHARD_INDEX=${shard})
    endif()
    add_test(NAME ${test_name} COMMAND ${name})
    set_tests_properties(${test_name} PROPERTIES
      ENVIRONMENT "${shard_environment}"
      LABELS "${labels}"
      COST ${cost})
  endforeach()
endfunction()
include(GoogleTest)

# brindel_forbid_links(TARGETS targets... FORBIDDEN libraries... [WHAT text])
# Fails the configuration when one of the targets reaches one of the
# libraries through its link libraries, directly or through other targets:
# the layers link downhill only. WHAT names the libraries in the message.
# brindel_forbid_widgets(targets...)
# The same for Qt Widgets: the cores (BRINDEL_CORES in the root
# CMakeLists.txt) run without widgets.
function(brindel_reaches target forbidden out visited)
  set(found "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libraries ${target} ${property})
    if(NOT libraries)
      continue()
    endif()
    foreach(library IN LISTS libraries)
      # $<LINK_LIBRARY:WHOLE_ARCHIVE,x> and $<LINK_ONLY:x> name a target too.
      string(REGEX REPLACE "^\\$<(LINK_LIBRARY:[A-Z_]+,|LINK_ONLY:)(.*)>$" "\\2" library "${library}")
      if(library IN_LIST forbidden)
        set(found "${target} -> ${library}")
      elseif(TARGET ${library} AND NOT library IN_LIST visited)
        list(APPEND visited ${library})
        brindel_reaches(${library} "${forbidden}" via "${visited}")
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

function(brindel_forbid_links)
  cmake_parse_arguments(F "" "WHAT" "TARGETS;FORBIDDEN" ${ARGN})
  if(NOT F_WHAT)
    set(F_WHAT "a layer above it")
  endif()
  foreach(target IN LISTS F_TARGETS)
    brindel_reaches(${target} "${F_FORBIDDEN}" chain "${target}")
    if(chain)
      message(FATAL_ERROR "${target} links ${F_WHAT}: ${chain}")
    endif()
  endforeach()
endfunction()

function(brindel_forbid_widgets)
  brindel_forbid_links(TARGETS ${ARGN} FORBIDDEN Qt6::Widgets Qt::Widgets WHAT "Qt Widgets")
endfunction()
