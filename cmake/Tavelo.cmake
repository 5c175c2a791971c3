# Shared build functions: every folder declares its targets through these.

set(TAVELO_WARNINGS -Wall -Wextra -Werror)
# g++ 12 at -O3 reports impossible overlaps inside std::string's own copies
# (a known false positive of that release); keep it a warning there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TAVELO_WARNINGS -Wno-error=restrict)
endif()

if(TAVELO_SANITIZE)
  add_compile_options(-fsanitize=${TAVELO_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${TAVELO_SANITIZE})
  # GCC 12 reports false maybe-uninitialized warnings in instrumented
  # standard-library and Boost code; keep them visible, not fatal.
  list(APPEND TAVELO_WARNINGS -Wno-error=maybe-uninitialized)
  if(TAVELO_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# A fuzzing build instruments every library, so that the fuzzer sees the
# coverage inside the code under test, not only inside the target file, and
# checks memory errors and undefined behaviour (integer overflow, bad shifts,
# out-of-range values, mismatched dynamic types). Every check stops the run at
# its first finding, so that the fuzzer keeps the input.
if(TAVELO_FUZZ)
  set(TAVELO_FUZZ_SANITIZE address,undefined)
  add_compile_options(-fsanitize=fuzzer-no-link,${TAVELO_FUZZ_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${TAVELO_FUZZ_SANITIZE})
  # "fuzz_targets" builds the libFuzzer programs alone (what CI builds).
  add_custom_target(fuzz_targets)
endif()

# tavelo_library(NAME STATIC|SHARED SOURCES a.cpp ... [LINK libs...] [EXPORT_MACRO_DEFINE X])
# A STATIC library is an internal one; a SHARED one is a deliverable that
# exports through its own macro (the define marks "building this library").
function(tavelo_library name kind)
  cmake_parse_arguments(ARG "" "EXPORT_DEFINE" "SOURCES;LINK;PRIVATE_LINK" ${ARGN})
  add_library(${name} ${kind} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVELO_WARNINGS})
  if(ARG_EXPORT_DEFINE)
    target_compile_definitions(${name} PRIVATE ${ARG_EXPORT_DEFINE})
  endif()
  if(ARG_LINK)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
  endif()
  if(ARG_PRIVATE_LINK)
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LINK})
  endif()
endfunction()

# tavelo_leak_suppressions(TARGET): in an address-sanitizer build, the
# program's leak reports leave out what the toolkit below the window layer
# keeps until the process ends; in a thread-sanitizer build, its reports leave
# out the toolkit's own threads, which run in libraries built without it.
function(tavelo_leak_suppressions target)
  if(TAVELO_SANITIZE MATCHES "address")
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
  endif()
  if(TAVELO_SANITIZE MATCHES "thread")
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/tsan_suppressions.cpp)
  endif()
endfunction()

# tavelo_tests(NAME SOURCES a_test.cpp ... LINK libs...)
# One GoogleTest executable per folder, registered with CTest.
function(tavelo_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVELO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gtest_main GTest::gmock)
  tavelo_leak_suppressions(${name})
  target_compile_definitions(${name} PRIVATE
    TAVELO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# tavelo_fuzz_target(NAME SOURCE fuzz.cpp CORPUS dir LINK libs...)
# The source defines LLVMFuzzerTestOneInput. Always built as a regression
# program that feeds every file of the corpus folder once (a CTest test);
# with TAVELO_FUZZ and clang it is also built as a real libFuzzer target.
function(tavelo_fuzz_target name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "LINK" ${ARGN})
  add_executable(${name}_regression ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/fuzz_regression_main.cpp)
  target_compile_options(${name}_regression PRIVATE ${TAVELO_WARNINGS})
  target_link_libraries(${name}_regression PRIVATE ${ARG_LINK})
  tavelo_leak_suppressions(${name}_regression)
  add_test(NAME ${name}_corpus COMMAND ${name}_regression ${ARG_CORPUS})
  # A thread-sanitizer build decodes a large corpus many times slower.
  if(TAVELO_SANITIZE MATCHES "thread")
    set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 900)
  else()
    set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 300)
  endif()
  if(TAVELO_FUZZ)
    add_executable(${name} ${ARG_SOURCE})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,${TAVELO_FUZZ_SANITIZE})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,${TAVELO_FUZZ_SANITIZE})
    target_link_libraries(${name} PRIVATE ${ARG_LINK})
    add_dependencies(fuzz_targets ${name})
  endif()
endfunction()

# tavelo_benchmark(NAME SOURCES ... LINK libs...): Google Benchmark program,
# built but not run by CTest.
function(tavelo_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVELO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} benchmark::benchmark)
endfunction()
