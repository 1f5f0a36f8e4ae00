# flipdeck_embed(TARGET target SYMBOL name FILES f1 f2 ...): compiles the files into the target as a
# table of {file name, bytes}, reachable through the symbol (see platform/embedded.h).
function(flipdeck_embed)
  cmake_parse_arguments(EMBED "" "TARGET;SYMBOL" "FILES" ${ARGN})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${EMBED_SYMBOL}.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DSYMBOL=${EMBED_SYMBOL} "-DFILES=${EMBED_FILES}"
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
    DEPENDS ${EMBED_FILES} ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
    VERBATIM)
  target_sources(${EMBED_TARGET} PRIVATE ${output})
endfunction()
