# Every third-party dependency, found once for the whole tree.
# scripts/deps installs the Debian packages that provide them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
# Boost is linked from its archives (see tarvex_link_archive below).
set(Boost_USE_STATIC_LIBS ON)
find_package(Boost 1.74 REQUIRED COMPONENTS thread filesystem)

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
#   tarvex_link_archive(TARGET ARCHIVE [EXTRA...]): the imported TARGET links
#   ARCHIVE (a file name such as libsqlite3.a) and then EXTRA.
function(tarvex_link_archive target archive)
  find_library(_archive_path NAMES ${archive} NO_CACHE REQUIRED)
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES "${_archive_path};${ARGN}")
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_DIRECTORIES "")
  set_property(TARGET ${target} PROPERTY INTERFACE_LINK_OPTIONS "")
endfunction()
tarvex_link_archive(PkgConfig::CRYPTOPP libcrypto++.a Threads::Threads)
tarvex_link_archive(PkgConfig::SQLITE3 libsqlite3.a Threads::Threads m ${CMAKE_DL_LIBS})
tarvex_link_archive(PkgConfig::MINIZIP libminizip.a z)
tarvex_link_archive(PkgConfig::STB libstb.a m)
if(X11_FOUND)
  find_library(_xext_archive NAMES libXext.a NO_CACHE REQUIRED)
  find_library(_xfixes_archive NAMES libXfixes.a NO_CACHE REQUIRED)
  pkg_check_modules(X11_SHARED REQUIRED IMPORTED_TARGET x11 xkbcommon)
  set_property(TARGET PkgConfig::X11 PROPERTY INTERFACE_LINK_LIBRARIES
               "${_xext_archive};${_xfixes_archive};PkgConfig::X11_SHARED")
  set_property(TARGET PkgConfig::X11 PROPERTY INTERFACE_LINK_DIRECTORIES "")
  set_property(TARGET PkgConfig::X11 PROPERTY INTERFACE_LINK_OPTIONS "")
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
