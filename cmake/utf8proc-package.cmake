# utf8proc for the Windows build, where no system library is at hand: its sources as a pinned
# package of the npm registry vendors them (the DuckDB package keeps utf8proc 2.9.0, its case
# mappings the same as those of the 2.8.0 that Debian gives the Linux build, in C++ inside the
# namespace duckdb). The tarball is fetched with npm once into a cache outside the clone, under
# its SHA-512, checked against the one recorded here before anything of it is used (a mismatch
# fails the build), and only utf8proc's two sources and header are taken out of it. Nothing of it
# is kept in the repository.
set(VK_UTF8PROC_PACKAGE duckdb)
set(VK_UTF8PROC_VERSION 1.4.4)  # src/duckdb/third_party/utf8proc/: utf8proc 2.9.0, Unicode 15.1
# The tarball's SHA-512: the registry's integrity "sha512-hEJJ5hyVF0VL...cmmpog==" in hexadecimal.
set(VK_UTF8PROC_SHA512
    844249e61c9517454b8f776638ba6c5ab411d1bddde1892ab72826ea25178c72430e74aa83f5122b171be6abcdace84560f824b5ac94e9d5c2b603ea7269a9a2)

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(vk_cache_root $ENV{XDG_CACHE_HOME})
else()
  set(vk_cache_root $ENV{HOME}/.cache)
endif()
set(VK_PACKAGE_CACHE ${vk_cache_root}/varnokline CACHE PATH "Where pinned npm packages are kept")
set(vk_utf8proc_cached ${VK_PACKAGE_CACHE}/sha512-${VK_UTF8PROC_SHA512}.tgz)
set(vk_utf8proc_tarball ${VK_UTF8PROC_PACKAGE}-${VK_UTF8PROC_VERSION}.tgz)
if(NOT EXISTS ${vk_utf8proc_cached})
  find_program(VK_NPM npm REQUIRED)
  # Packed into a folder of this build's own first, so that two builds never meet half a file.
  set(vk_utf8proc_download ${CMAKE_BINARY_DIR}/utf8proc-download)
  file(REMOVE_RECURSE ${vk_utf8proc_download})
  file(MAKE_DIRECTORY ${vk_utf8proc_download} ${VK_PACKAGE_CACHE})
  execute_process(
    COMMAND ${VK_NPM} pack ${VK_UTF8PROC_PACKAGE}@${VK_UTF8PROC_VERSION}
            --pack-destination ${vk_utf8proc_download}
    RESULT_VARIABLE vk_npm_result OUTPUT_QUIET)
  if(NOT vk_npm_result EQUAL 0 OR NOT EXISTS ${vk_utf8proc_download}/${vk_utf8proc_tarball})
    message(FATAL_ERROR "npm could not fetch ${VK_UTF8PROC_PACKAGE}@${VK_UTF8PROC_VERSION}")
  endif()
  file(SHA512 ${vk_utf8proc_download}/${vk_utf8proc_tarball} vk_utf8proc_hash)
  if(NOT vk_utf8proc_hash STREQUAL VK_UTF8PROC_SHA512)
    message(FATAL_ERROR "${vk_utf8proc_tarball} is not the recorded package (SHA-512 ${vk_utf8proc_hash})")
  endif()
  file(RENAME ${vk_utf8proc_download}/${vk_utf8proc_tarball} ${vk_utf8proc_cached})
  file(REMOVE_RECURSE ${vk_utf8proc_download})
endif()
# Checked again as it is used: a cache is no proof of itself.
file(SHA512 ${vk_utf8proc_cached} vk_utf8proc_hash)
if(NOT vk_utf8proc_hash STREQUAL VK_UTF8PROC_SHA512)
  file(REMOVE ${vk_utf8proc_cached})
  message(FATAL_ERROR "${vk_utf8proc_cached} is not the recorded package (SHA-512 ${vk_utf8proc_hash})")
endif()

set(vk_utf8proc_dir ${CMAKE_BINARY_DIR}/utf8proc)
set(vk_utf8proc_sources ${vk_utf8proc_dir}/package/src/duckdb/third_party/utf8proc)
file(ARCHIVE_EXTRACT INPUT ${vk_utf8proc_cached} DESTINATION ${vk_utf8proc_dir}
     PATTERNS package/src/duckdb/third_party/utf8proc/utf8proc.cpp
              package/src/duckdb/third_party/utf8proc/utf8proc_data.cpp
              package/src/duckdb/third_party/utf8proc/include/utf8proc.hpp)

# utf8proc.cpp includes utf8proc_data.cpp: one source to compile. Its own code is not held to this
# project's warnings.
add_library(vk_utf8proc STATIC ${vk_utf8proc_sources}/utf8proc.cpp)
target_include_directories(vk_utf8proc PRIVATE ${vk_utf8proc_sources})
target_include_directories(vk_utf8proc SYSTEM PUBLIC ${vk_utf8proc_sources}/include)
target_compile_definitions(vk_utf8proc INTERFACE VK_UTF8PROC_PACKAGE=1)
target_compile_options(vk_utf8proc PRIVATE -w)
