# The real-program tests assemble their sources at test time; tell them where
# the cross tools are (an empty path makes them skip with a message).
find_program(M68K_LD m68k-linux-gnu-ld)
if(TARGET m68k_tests)
  target_compile_definitions(m68k_tests PRIVATE
    SB_M68K_AS="${M68K_AS}"
    SB_M68K_LD="${M68K_LD}"
    SB_M68K_OBJCOPY="${M68K_OBJCOPY}")
endif()
