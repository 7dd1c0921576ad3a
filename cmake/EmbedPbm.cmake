# Compiles one-bit PBM (P4) pictures into constant byte tables. P4 keeps rows whole bytes wide,
# most significant bit leftmost and 1 for black: exactly the controller's raster layout, so the
# table is the file's pixel data unchanged.
set(RUVELA_PBM_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PbmToCpp.cmake)

function(ruvela_embed_pbm target dir)
  set(outputs)
  foreach(name IN LISTS ARGN)
    set(in ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${name}.pbm)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/pictures/${name}.cpp)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${in} -DOUT=${out} -DNAME=${name} -P ${RUVELA_PBM_SCRIPT}
      DEPENDS ${in} ${RUVELA_PBM_SCRIPT}
      COMMENT "Embedding picture ${name}.pbm")
    list(APPEND outputs ${out})
  endforeach()
  target_sources(${target} PRIVATE ${outputs})
endfunction()
