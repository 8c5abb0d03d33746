# SQLite for the Windows build: the amalgamation (sqlite3.c, sqlite3.h) out of a pinned package of
# the npm registry, fetched with npm into the build folder, checked against the SHA-512 recorded
# here before anything of it is used (a mismatch fails the build), and compiled into the program.
# Nothing of it is kept in the repository.
set(VK_SQLITE_PACKAGE better-sqlite3)
set(VK_SQLITE_VERSION 13.2.0)  # carries SQLite 3.54.1 in deps/sqlite3/
# The tarball's SHA-512: the registry's integrity "sha512-Z8Q/9x/uNyKx...KWZQ==" in hexadecimal.
set(VK_SQLITE_SHA512
    67c43ff71fee3722b1035bf814da1dc88b51551c354de281ae68f7d89871851d1c78d70163ec0ca1bb7f06fecced3cf03c05e39d946d35a12c0139d465229665)

set(vk_sqlite_dir ${CMAKE_BINARY_DIR}/sqlite)
set(vk_sqlite_tarball ${vk_sqlite_dir}/${VK_SQLITE_PACKAGE}-${VK_SQLITE_VERSION}.tgz)
if(NOT EXISTS ${vk_sqlite_tarball})
  find_program(VK_NPM npm REQUIRED)
  file(MAKE_DIRECTORY ${vk_sqlite_dir})
  execute_process(
    COMMAND ${VK_NPM} pack ${VK_SQLITE_PACKAGE}@${VK_SQLITE_VERSION} --pack-destination ${vk_sqlite_dir}
    RESULT_VARIABLE vk_npm_result OUTPUT_QUIET)
  if(NOT vk_npm_result EQUAL 0 OR NOT EXISTS ${vk_sqlite_tarball})
    message(FATAL_ERROR "npm could not fetch ${VK_SQLITE_PACKAGE}@${VK_SQLITE_VERSION}")
  endif()
endif()
file(SHA512 ${vk_sqlite_tarball} vk_sqlite_hash)
if(NOT vk_sqlite_hash STREQUAL VK_SQLITE_SHA512)
  file(REMOVE ${vk_sqlite_tarball})
  message(FATAL_ERROR "${vk_sqlite_tarball} is not the recorded package (SHA-512 ${vk_sqlite_hash})")
endif()
file(ARCHIVE_EXTRACT INPUT ${vk_sqlite_tarball} DESTINATION ${vk_sqlite_dir}
     PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)

enable_language(C)
add_library(vk_sqlite STATIC ${vk_sqlite_dir}/package/deps/sqlite3/sqlite3.c)
target_include_directories(vk_sqlite SYSTEM PUBLIC ${vk_sqlite_dir}/package/deps/sqlite3)
# The R-tree module for the spatial index; no extensions loaded from files. Its own code is not
# held to this project's warnings.
# On Windows, names up to the system's longest (32,767 UTF-16 units, 4 bytes each at most in
# UTF-8) instead of 260 characters: the program gives a long one in its "\\?\" form.
target_compile_definitions(vk_sqlite PRIVATE SQLITE_ENABLE_RTREE=1 SQLITE_OMIT_LOAD_EXTENSION=1
                                             SQLITE_DQS=0 SQLITE_WIN32_MAX_PATH_CHARS=32767)
target_compile_options(vk_sqlite PRIVATE -w)
