# Embeds a text file into the library as one NUL-terminated char array named SYMBOL. The bytes are
# pulled in by the assembler (.incbin), so a large document costs no compile time and the
# build re-runs when the file changes.
function(zor_embed_text FILE SYMBOL OUT_VAR)
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${SYMBOL}.S)
  file(WRITE ${asm}.in
"    .section .rodata
    .global ${SYMBOL}
    .hidden ${SYMBOL}
    .type ${SYMBOL}, @object
    .balign 16
${SYMBOL}:
    .incbin \"${FILE}\"
    .byte 0
    .size ${SYMBOL}, .-${SYMBOL}
    .section .note.GNU-stack,\"\",@progbits
")
  configure_file(${asm}.in ${asm} COPYONLY)
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${FILE})
  set(${OUT_VAR} ${asm} PARENT_SCOPE)
endfunction()
