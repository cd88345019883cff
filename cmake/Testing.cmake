# Helpers for the test and fuzz targets of every subsystem.
find_package(GTest REQUIRED)
include(GoogleTest)

# The read-only shared material (test vectors, benchmark workload) lies beside
# the checkout; tests that use it skip when it is absent.
get_filename_component(SB_SHARED_DIR "${CMAKE_SOURCE_DIR}/../shared" ABSOLUTE)
set(SB_FUZZ_SECONDS 60 CACHE STRING "Seconds each fuzzer runs as a test")

# sb_add_test(name SOURCES ... LIBS ...): a GoogleTest executable whose cases
# ctest runs one by one, headless (tests/support/environment.cpp), with
# SB_SHARED_DIR and the source and build directories compiled in.
function(sb_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/environment.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SB_SHARED_DIR="${SB_SHARED_DIR}"
    SB_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SB_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 120)
endfunction()

# sb_add_fuzzer(name SOURCES ... LIBS ... CORPUS dir): a libFuzzer target,
# built only with SB_FUZZ (clang), run as a test for SB_FUZZ_SECONDS seconds
# over a copy of the committed seed corpus.
function(sb_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT SB_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(work "${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      sh -c "rm -rf '${work}' && mkdir -p '${work}' && cp -r '${F_CORPUS}/.' '${work}/' && '$<TARGET_FILE:${name}>' -max_total_time=${SB_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 '${work}'")
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
