# libFuzzer target of the 68000 core (clang sanitizer build only): random code
# and registers over a map with holes and handlers, run sliced and stepped.
sb_add_fuzzer(m68k_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/cpu_fuzz.cpp
  LIBS sb_m68k
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus)
