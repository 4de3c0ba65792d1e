# tarvex_pack_skin(<target> SOURCE_DIR <dir> OUTPUT <zip> [EXTENSIONS <ext>...])
#
# Packs the files directly inside SOURCE_DIR (subfolders are left out) into
# the zip archive OUTPUT with tools/skinpack, whenever one of them changes,
# and adds the custom target <target> that builds it. EXTENSIONS limits the
# files to those extensions (default: xml png gif jpg bmp). The same files
# always give the same archive bytes.
function(tarvex_pack_skin target)
  cmake_parse_arguments(ARG "" "SOURCE_DIR;OUTPUT" "EXTENSIONS" ${ARGN})
  if(NOT ARG_SOURCE_DIR OR NOT ARG_OUTPUT)
    message(FATAL_ERROR "tarvex_pack_skin: SOURCE_DIR and OUTPUT are required")
  endif()
  if(NOT ARG_EXTENSIONS)
    set(ARG_EXTENSIONS xml png gif jpg bmp)
  endif()
  set(globs "")
  foreach(ext IN LISTS ARG_EXTENSIONS)
    list(APPEND globs ${ARG_SOURCE_DIR}/*.${ext})
  endforeach()
  file(GLOB inputs CONFIGURE_DEPENDS ${globs})
  string(REPLACE ";" "," ext_arg "${ARG_EXTENSIONS}")
  get_filename_component(out_dir ${ARG_OUTPUT} DIRECTORY)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND skinpack --ext ${ext_arg} ${ARG_SOURCE_DIR} ${ARG_OUTPUT}
    DEPENDS skinpack ${inputs}
    COMMENT "Packing skin ${ARG_SOURCE_DIR}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${ARG_OUTPUT})
endfunction()
