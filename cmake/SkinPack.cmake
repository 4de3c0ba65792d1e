# tarvex_pack_skin(<target> SOURCE_DIR <dir> OUTPUT <zip> [EXTENSIONS <ext>...])
#
# Packs the files directly inside SOURCE_DIR (subfolders are left out) into
# the zip archive OUTPUT with tools/skinpack, whenever one of them changes,
# and adds the custom target <target> that builds it. EXTENSIONS limits the
# files to those extensions (default: xml png gif jpg bmp). The same files
# always give the same archive bytes.
#
# A cross build (the Windows programs) packs on the build machine: the packer
# is then compiled once for the build machine with its own C++ compiler.
function(tarvex_host_skinpack out_command out_depends)
  set(host_dir ${CMAKE_BINARY_DIR}/host)
  set(host_skinpack ${host_dir}/skinpack)
  if(NOT TARGET skinpack_host)
    find_program(TARVEX_HOST_CXX NAMES g++ c++ REQUIRED)
    set(src ${PROJECT_SOURCE_DIR}/tools/skinpack)
    add_custom_command(
      OUTPUT ${host_skinpack}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${host_dir}
      COMMAND ${TARVEX_HOST_CXX} -std=c++17 -O2 -I${PROJECT_SOURCE_DIR}
              ${src}/main.cpp ${src}/skinpack.cpp -lz -o ${host_skinpack}
      DEPENDS ${src}/main.cpp ${src}/skinpack.cpp ${src}/skinpack.h
      COMMENT "Building skinpack for the build machine"
      VERBATIM)
    add_custom_target(skinpack_host DEPENDS ${host_skinpack})
  endif()
  set(${out_command} ${host_skinpack} PARENT_SCOPE)
  set(${out_depends} skinpack_host ${host_skinpack} PARENT_SCOPE)
endfunction()

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
  if(CMAKE_CROSSCOMPILING)
    tarvex_host_skinpack(packer packer_depends)
  else()
    set(packer skinpack)
    set(packer_depends skinpack)
  endif()
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${packer} --ext ${ext_arg} ${ARG_SOURCE_DIR} ${ARG_OUTPUT}
    DEPENDS ${packer_depends} ${inputs}
    COMMENT "Packing skin ${ARG_SOURCE_DIR}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${ARG_OUTPUT})
endfunction()
