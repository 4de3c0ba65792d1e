# Every third-party dependency, found once for the whole tree.
# scripts/deps installs the Debian packages that provide them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
# Boost: the header-only parts (threads and the file system come from the
# C++ library).
find_package(Boost 1.74 REQUIRED)

pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
# The X11 display backend (plat/backend/x11): Xlib with MIT-SHM and XShape
# (xext), selection-owner notices for the compositor (xfixes), and key
# symbols to Unicode (xkbcommon). Without them only the headless backend is
# built.
pkg_check_modules(X11 IMPORTED_TARGET x11 xext xfixes xkbcommon)

# The libraries a desktop does not already have loaded (Crypto++, SQLite,
# minizip, stb, the two small X extensions; Boost above) are linked from
# their archives: the installer then carries only the code it uses, starts
# without mapping and relocating each of them (on a small machine that is
# most of the time before main), and needs none of them on the user's
# machine. jsoncpp has no archive in the distribution and stays shared.
# A program that runs on a server (distd) links the shared libraries
# instead, so that the distribution's security updates reach it: it sets
# its property TARVEX_SHARED_LINKS (see tarvex_shared_links), and every
# such target then gives it the shared libraries pkg-config named.
#   tarvex_link_archives(TARGET ARCHIVES a.a... [LIBS lib...]): the imported
#   TARGET links those archives (file names such as libsqlite3.a), then LIBS;
#   or, for a program with TARVEX_SHARED_LINKS, what it linked before.
function(tarvex_link_archives target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ARCHIVES;LIBS")
  set(shared_link "$<BOOL:$<TARGET_PROPERTY:TARVEX_SHARED_LINKS>>")
  set(links "")
  get_property(shared_libs TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES)
  foreach(lib IN LISTS shared_libs)
    list(APPEND links "$<${shared_link}:${lib}>")
  endforeach()
  foreach(archive IN LISTS arg_ARCHIVES)
    # find_library skips the search while its variable is set.
    unset(_archive_path)
    find_library(_archive_path NAMES ${archive} NO_CACHE REQUIRED)
    list(APPEND links "$<$<NOT:${shared_link}>:${_archive_path}>")
  endforeach()
  get_property(shared_dirs TARGET ${target} PROPERTY INTERFACE_LINK_DIRECTORIES)
  get_property(shared_options TARGET ${target} PROPERTY INTERFACE_LINK_OPTIONS)
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES "${links};${arg_LIBS}")
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_DIRECTORIES
               "$<${shared_link}:${shared_dirs}>")
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_OPTIONS
               "$<${shared_link}:${shared_options}>")
endfunction()
# tarvex_shared_links(TARGET): the program links the shared libraries.
function(tarvex_shared_links target)
  set_property(TARGET ${target} PROPERTY TARVEX_SHARED_LINKS ON)
endfunction()
tarvex_link_archives(PkgConfig::CRYPTOPP ARCHIVES libcrypto++.a LIBS Threads::Threads)
tarvex_link_archives(PkgConfig::SQLITE3 ARCHIVES libsqlite3.a
                     LIBS Threads::Threads m ${CMAKE_DL_LIBS})
# zlib by name: the link line must name it again after the archive.
tarvex_link_archives(PkgConfig::MINIZIP ARCHIVES libminizip.a LIBS z)
tarvex_link_archives(PkgConfig::STB ARCHIVES libstb.a LIBS m)
if(X11_FOUND)
  # Xlib and xkbcommon stay shared (the desktop has them loaded already).
  pkg_check_modules(X11_SHARED REQUIRED IMPORTED_TARGET x11 xkbcommon)
  tarvex_link_archives(PkgConfig::X11 ARCHIVES libXext.a libXfixes.a LIBS PkgConfig::X11_SHARED)
endif()

# cpp-httplib (the test servers and distd). Debian builds it as a shared
# library whose header only declares most functions, so the library and its
# feature definitions come from its pkg-config file.
find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(httplib_header INTERFACE)
target_include_directories(httplib_header SYSTEM INTERFACE ${HTTPLIB_INCLUDE_DIR})
target_link_libraries(httplib_header INTERFACE PkgConfig::HTTPLIB Threads::Threads)

if(TARVEX_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(TARVEX_BENCH)
  find_package(benchmark REQUIRED)
endif()
