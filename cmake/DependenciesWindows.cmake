# Every third-party dependency of the Windows build, found once for the whole
# tree. The libraries are the static ones scripts/windows-libs cross-builds
# into TARVEX_WINDOWS_LIBS; zlib is libz-mingw-w64-dev's. The imported
# targets carry the names the Linux build gives them (Dependencies.cmake),
# so the folders' build files link the same names on both systems.
if(NOT TARVEX_WINDOWS_LIBS OR NOT EXISTS ${TARVEX_WINDOWS_LIBS}/.complete)
  message(FATAL_ERROR "TARVEX_WINDOWS_LIBS must name the folder scripts/windows-libs prints "
                      "(scripts/build-windows passes it)")
endif()
set(CMAKE_THREAD_PREFER_PTHREAD ON)
find_package(Threads REQUIRED)

# tarvex_windows_library(TARGET ARCHIVE [INCLUDE dir...] [DEFINES ...] [LIBS ...])
function(tarvex_windows_library target archive)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDE;DEFINES;LIBS")
  set(path ${TARVEX_WINDOWS_LIBS}/lib/${archive})
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${path} is missing: rerun scripts/windows-libs")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set(includes ${TARVEX_WINDOWS_LIBS}/include)
  foreach(dir IN LISTS arg_INCLUDE)
    list(APPEND includes ${TARVEX_WINDOWS_LIBS}/include/${dir})
  endforeach()
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${path}
    INTERFACE_INCLUDE_DIRECTORIES "${includes}"
    INTERFACE_COMPILE_DEFINITIONS "${arg_DEFINES}"
    INTERFACE_LINK_LIBRARIES "${arg_LIBS}")
endfunction()

# libcurl with Schannel: Windows' own TLS, sockets and certificate store.
tarvex_windows_library(PkgConfig::CURL libcurl.a DEFINES CURL_STATICLIB
  LIBS ws2_32 crypt32 bcrypt secur32 advapi32 normaliz iphlpapi)
tarvex_windows_library(PkgConfig::JSONCPP libjsoncpp.a)
tarvex_windows_library(PkgConfig::CRYPTOPP libcryptopp.a LIBS Threads::Threads)
find_library(TARVEX_MINGW_ZLIB NAMES libz.a REQUIRED)
add_library(PkgConfig::ZLIB INTERFACE IMPORTED GLOBAL)
set_target_properties(PkgConfig::ZLIB PROPERTIES INTERFACE_LINK_LIBRARIES ${TARVEX_MINGW_ZLIB})
tarvex_windows_library(PkgConfig::MINIZIP libminizip.a INCLUDE minizip LIBS ${TARVEX_MINGW_ZLIB})
tarvex_windows_library(PkgConfig::STB libstb.a INCLUDE stb)
# Boost: header-only parts only.
add_library(tarvex_boost_headers INTERFACE)
target_include_directories(tarvex_boost_headers SYSTEM INTERFACE ${TARVEX_WINDOWS_LIBS}/include)
add_library(Boost::headers ALIAS tarvex_boost_headers)
# The curl headers, for folders that use its types without linking it.
set(CURL_INCLUDE_DIRS ${TARVEX_WINDOWS_LIBS}/include)
set(CURL_CFLAGS_OTHER -DCURL_STATICLIB)

# cpp-httplib (the test servers): the complete single header of its
# source package, from scripts/windows-libs.
add_library(httplib_header INTERFACE)
target_include_directories(httplib_header SYSTEM INTERFACE ${TARVEX_WINDOWS_LIBS}/include/httplib)
target_link_libraries(httplib_header INTERFACE ws2_32 crypt32 Threads::Threads)

# Static C and C++ runtimes: the programs need no DLL beside them. Release
# programs carry no symbol tables (the installer shrinks from 8 to under
# 4 MB).
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)

if(TARVEX_TESTS)
  # GoogleTest from libgtest-dev's sources, compiled for Windows.
  set(tarvex_gtest_src /usr/src/googletest)
  if(NOT EXISTS ${tarvex_gtest_src}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are missing (libgtest-dev)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${tarvex_gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own build names its targets GTest::gtest and so on.
  include(GoogleTest)
endif()
