include(GoogleTest)
find_package(GTest REQUIRED)

# Every test program and fuzz harness of the build folder, so that a pass builds only
# what it runs: cmake --build <folder> --target zev_tests (or zev_fuzzers).
add_custom_target(zev_tests)
add_custom_target(zev_fuzzers)

set(ZEV_TSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/tsan.supp)
# Whether this folder runs the whole suite; tests added without zev_add_test (a script
# that checks a program) are added only then.
if(ZEV_TSAN OR ZEV_FUZZ OR ZEV_BENCH)
  set(ZEV_WHOLE_SUITE OFF)
else()
  set(ZEV_WHOLE_SUITE ON)
endif()
if(ZEV_FUZZ)
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/fuzzers)
endif()

# The headers that nearly every test source includes, parsed once per build folder and
# reused by every test program: an executable, so that it is compiled with the flags of
# the test programs (-fPIE), which a compiler checks before it takes the header.
add_executable(zev_test_headers EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/test_headers_main.cpp)
target_link_libraries(zev_test_headers PRIVATE GTest::gtest)
target_precompile_headers(zev_test_headers PRIVATE
  <gtest/gtest.h> <algorithm> <atomic> <chrono> <cstdint> <cstdio> <cstdlib> <cstring> <fstream>
  <functional> <memory> <mutex> <sstream> <string> <thread> <vector>)

# zev_add_test(<name> SOURCES <files...> [LIBS <targets...>] [THREADED] [LONG <seconds>])
# One test program; its cases are registered with CTest one by one. LONG gives cases
# that really run for minutes on a busy 2-core machine that many seconds rather than
# the run's time-out, and makes CTest start them first, so that they overlap the short
# ones; the caller says why they are that long. THREADED marks a
# program whose code runs on several threads: it is also built and run under
# ThreadSanitizer (ZEV_TSAN), carrying the label "threaded". A program that a folder
# does not run (any other under ZEV_TSAN, every one under ZEV_FUZZ and ZEV_BENCH) is
# still defined, so that its settings apply, but never built there.
function(zev_add_test name)
  cmake_parse_arguments(ARG "THREADED" "LONG" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zev_test_support GTest::gtest GTest::gtest_main)
  target_precompile_headers(${name} REUSE_FROM zev_test_headers)
  if(ZEV_FUZZ OR ZEV_BENCH OR (ZEV_TSAN AND NOT ARG_THREADED))
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  add_dependencies(zev_tests ${name})
  set(properties ENVIRONMENT "ZEV_TEST_TOOLS=${CMAKE_BINARY_DIR}/bin")
  if(ARG_THREADED)
    list(APPEND properties LABELS threaded)
  endif()
  if(ARG_LONG)
    list(APPEND properties TIMEOUT ${ARG_LONG} COST ${ARG_LONG})
  endif()
  if(ZEV_TSAN)
    # Programs the test starts inherit it. Tests of once-only state fork a child of a
    # process that has threads already, and the child may start threads of its own.
    list(APPEND properties ENVIRONMENT_MODIFICATION
         "TSAN_OPTIONS=set:suppressions=${ZEV_TSAN_SUPPRESSIONS}:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0")
  endif()
  # Each program lists its cases as soon as it is linked, beside the rest of the build,
  # rather than all of them one after the other when CTest starts.
  gtest_discover_tests(${name} DISCOVERY_MODE POST_BUILD DISCOVERY_TIMEOUT 30 PROPERTIES ${properties})
endfunction()

# zev_add_fuzzer(<name> SOURCES <files...> [LIBS <targets...>] [DEFINITIONS <defs...>]
#                CORPUS <folder> [DICT <file>])
# A libFuzzer harness (LLVMFuzzerTestOneInput) of a parser of outside input. Its corpus
# folder, beside the tests, holds the seeds and every input that once crashed it; a
# dictionary of the format's words, when given, guides the fuzzing.
# In the folder of the whole suite the harness is linked with a main that runs it once
# over each input of its corpus (CTest, label "fuzz"), on the libraries the tests use:
# no fuzzing coverage is needed for that. In the fuzz folder (ZEV_FUZZ, clang,
# -fsanitize=fuzzer,address,undefined) it is the real fuzzer: `make fuzz` fuzzes it for
# a bounded time, reading the list that this writes to <build>/fuzzers/ (the corpus on
# its first line, the dictionary on the second).
function(zev_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;DICT" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  if(NOT ZEV_FUZZ AND NOT ZEV_WHOLE_SUITE)
    return()
  endif()
  if(NOT ARG_CORPUS)
    message(FATAL_ERROR "zev_add_fuzzer(${name}): a CORPUS folder is needed")
  endif()
  cmake_path(ABSOLUTE_PATH ARG_CORPUS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} OUTPUT_VARIABLE corpus)
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "zev_add_fuzzer(${name}): no corpus folder ${corpus}")
  endif()
  set(dict "")
  if(ARG_DICT)
    cmake_path(ABSOLUTE_PATH ARG_DICT BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} OUTPUT_VARIABLE dict)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  if(ZEV_WHOLE_SUITE)
    target_link_libraries(${name} PRIVATE zev_fuzz_corpus_run)
    add_dependencies(zev_tests ${name})
    add_test(NAME ${name}.corpus COMMAND ${name} ${corpus})
    # libFuzzer fails an input that asks for more than its 2 GB at once; so does this run.
    set_tests_properties(${name}.corpus PROPERTIES LABELS fuzz
                         ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::max_allocation_size_mb=2048")
    return()
  endif()
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(zev_fuzzers ${name})
  file(WRITE ${CMAKE_BINARY_DIR}/fuzzers/${name} "${corpus}\n${dict}\n")
endfunction()
