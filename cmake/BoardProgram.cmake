# Programs for the board's two 68000s, in C and assembly, built with gcc for
# m68k-linux-gnu against the SDK in sdk/ and packed as a ROM set (driver
# file and zip) into a run directory. A program is one folder and one line:
#
#   add_board_program(NAME cdemo TITLE "Stonebreaker C Demo"
#                     MASTER master.c SLAVE slave.c [GRAPHICS make_graphics.py]
#                     [DATE 2026] [COMMENT "text"] [RUN_DIR dir])
#
# MASTER and SLAVE list each processor's sources (.c, .s), relative to the
# folder. GRAPHICS names a Python script run with the build folder as its
# argument; it writes gfx.bin (tiles of 16 x 16 pixel bytes, row by row),
# data_low.bin and data_high.bin (the data ROM's two windows as 68000
# images, either may be empty), and may write headers that the sources
# include. The target NAME builds the ROM set; the ELF files, for GDB, are
# NAME's build folder's master.elf and slave.elf. RUN_DIR defaults to the
# program's run directory.
find_program(M68K_GCC m68k-linux-gnu-gcc REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(SB_SDK_DIR ${CMAKE_SOURCE_DIR}/sdk)
set(SB_BOARD_CFLAGS -m68000 -g -O2 -std=gnu11 -ffreestanding -fno-asynchronous-unwind-tables
    -Wall -Wextra)

# sb_pack_rom_set(target NAME ... TITLE ... MASTER bin SLAVE bin [GFX bin]
#   [DATA_LOW bin] [DATA_HIGH bin] [DATE ..] [COMMENT ..] RUN_DIR dir DEPENDS ...)
function(sb_pack_rom_set target)
  cmake_parse_arguments(R "" "NAME;TITLE;MASTER;SLAVE;GFX;DATA_LOW;DATA_HIGH;DATE;COMMENT;RUN_DIR"
                        "DEPENDS" ${ARGN})
  set(outputs ${R_RUN_DIR}/roms/${R_NAME}.zip ${R_RUN_DIR}/drv/${R_NAME}.drv)
  set(args --name ${R_NAME} --title ${R_TITLE} --master ${R_MASTER} --slave ${R_SLAVE}
           --run-dir ${R_RUN_DIR})
  foreach(key GFX DATA_LOW DATA_HIGH DATE COMMENT)
    if(R_${key})
      string(TOLOWER ${key} option)
      string(REPLACE "_" "-" option ${option})
      list(APPEND args --${option} ${R_${key}})
    endif()
  endforeach()
  add_custom_command(OUTPUT ${outputs}
    COMMAND Python3::Interpreter ${SB_SDK_DIR}/pack_rom_set.py ${args}
    DEPENDS ${SB_SDK_DIR}/pack_rom_set.py ${R_MASTER} ${R_SLAVE} ${R_GFX} ${R_DEPENDS}
    COMMENT "Packing the ${R_NAME} ROM set"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

function(add_board_program)
  cmake_parse_arguments(P "" "NAME;TITLE;GRAPHICS;DATE;COMMENT;RUN_DIR" "MASTER;SLAVE" ${ARGN})
  if(NOT P_RUN_DIR)
    set(P_RUN_DIR ${SB_RUN_DIR})
  endif()
  set(src ${CMAKE_CURRENT_SOURCE_DIR})
  set(gen ${CMAKE_CURRENT_BINARY_DIR})
  file(MAKE_DIRECTORY ${gen}/sdk ${gen}/master ${gen}/slave)
  set(pack)
  set(generated)
  if(P_GRAPHICS)
    set(generated ${gen}/gfx.bin)
    add_custom_command(OUTPUT ${generated} BYPRODUCTS ${gen}/data_low.bin ${gen}/data_high.bin
      COMMAND Python3::Interpreter ${src}/${P_GRAPHICS} ${gen}
      DEPENDS ${src}/${P_GRAPHICS}
      COMMENT "Generating the ${P_NAME} graphics")
    set(pack GFX ${gen}/gfx.bin DATA_LOW ${gen}/data_low.bin DATA_HIGH ${gen}/data_high.bin)
  endif()
  # The SDK's start-up and runtime, the same for both processors.
  set(sdk_objects)
  foreach(part start runtime)
    add_custom_command(OUTPUT ${gen}/sdk/${part}.o
      COMMAND ${M68K_GCC} -m68000 -g -c ${SB_SDK_DIR}/${part}.s -o ${gen}/sdk/${part}.o
      DEPENDS ${SB_SDK_DIR}/${part}.s)
    list(APPEND sdk_objects ${gen}/sdk/${part}.o)
  endforeach()
  foreach(cpu master slave)
    string(TOUPPER ${cpu} key)
    set(objects ${sdk_objects})
    foreach(source ${P_${key}})
      get_filename_component(base ${source} NAME_WE)
      set(object ${gen}/${cpu}/${base}.o)
      add_custom_command(OUTPUT ${object}
        COMMAND ${M68K_GCC} ${SB_BOARD_CFLAGS} -I${SB_SDK_DIR} -I${src} -I${gen}
                -MD -MF ${object}.d -c ${src}/${source} -o ${object}
        DEPENDS ${src}/${source} ${generated}
        DEPFILE ${object}.d
        COMMENT "Compiling ${P_NAME}'s ${cpu} ${source}")
      list(APPEND objects ${object})
    endforeach()
    add_custom_command(OUTPUT ${gen}/${cpu}.elf ${gen}/${cpu}.bin
      COMMAND ${M68K_GCC} -m68000 -nostdlib -Wl,--build-id=none -L${SB_SDK_DIR}
              -T ${SB_SDK_DIR}/${cpu}.ld -o ${gen}/${cpu}.elf ${objects}
      COMMAND ${M68K_OBJCOPY} -O binary ${gen}/${cpu}.elf ${gen}/${cpu}.bin
      DEPENDS ${objects} ${SB_SDK_DIR}/${cpu}.ld ${SB_SDK_DIR}/sections.ld
      COMMENT "Linking ${P_NAME}'s ${cpu} program")
  endforeach()
  sb_pack_rom_set(${P_NAME} NAME ${P_NAME} TITLE ${P_TITLE} DATE "${P_DATE}" COMMENT "${P_COMMENT}"
    MASTER ${gen}/master.bin SLAVE ${gen}/slave.bin ${pack} RUN_DIR ${P_RUN_DIR})
endfunction()
