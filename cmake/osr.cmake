# GDAL's spatial references (OSR, with its CPL) and PROJ for the Windows build, from the sources
# that a pinned package of the npm registry ships (GDAL 3.6.4, PROJ 9.0.0 and PROJ's database
# proj.db). The tarball is fetched with npm, checked against the SHA-512 recorded here before
# anything of it is used (a mismatch fails the build), and unpacked and compiled once into a cache
# outside the clone, named by that hash (VARNOKLINE_CACHE, else ~/.cache/varnokline/<hash>/), so
# that later builds and clean clones reuse it. Nothing of it is kept in the repository. Defines
# vk_osr_libraries (PROJ and GDAL's part, linked with the program's SQLite) and VK_PROJ_DB.
set(VK_OSR_PACKAGE gdal-async)
set(VK_OSR_VERSION 3.6.4)  # carries GDAL 3.6.4 and PROJ 9.0.0 in deps/
# The tarball's SHA-512: the registry's integrity "sha512-9nqqi1pL...f4d69g==" in hexadecimal.
set(VK_OSR_SHA512
    f67aaa8b5a4b2257c8460b665083128d7c7682fc2b3521e4520bdde89b2f5e3017baa9986ee241a7ee1b6388cf1d15a365d1a75e63ae2cee453a50737f877af6)

if(DEFINED ENV{VARNOKLINE_CACHE})
  set(vk_cache $ENV{VARNOKLINE_CACHE})
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(vk_cache $ENV{XDG_CACHE_HOME}/varnokline)
else()
  set(vk_cache $ENV{HOME}/.cache/varnokline)
endif()
set(vk_osr_dir ${vk_cache}/${VK_OSR_SHA512})
file(MAKE_DIRECTORY ${vk_osr_dir})
# One build at a time fills the cache; the others wait and then find it filled.
file(LOCK ${vk_osr_dir}/lock GUARD FILE TIMEOUT 7200)

set(vk_osr_tarball ${vk_osr_dir}/${VK_OSR_PACKAGE}-${VK_OSR_VERSION}.tgz)
set(vk_osr_source ${vk_osr_dir}/package/deps)
if(NOT EXISTS ${vk_osr_source}/unpacked)
  if(NOT EXISTS ${vk_osr_tarball})
    find_program(VK_NPM npm REQUIRED)
    execute_process(
      COMMAND ${VK_NPM} pack ${VK_OSR_PACKAGE}@${VK_OSR_VERSION} --pack-destination ${vk_osr_dir}
      RESULT_VARIABLE vk_npm_result OUTPUT_QUIET)
    if(NOT vk_npm_result EQUAL 0 OR NOT EXISTS ${vk_osr_tarball})
      message(FATAL_ERROR "npm could not fetch ${VK_OSR_PACKAGE}@${VK_OSR_VERSION}")
    endif()
  endif()
  file(SHA512 ${vk_osr_tarball} vk_osr_hash)
  if(NOT vk_osr_hash STREQUAL VK_OSR_SHA512)
    file(REMOVE ${vk_osr_tarball})
    message(FATAL_ERROR "${vk_osr_tarball} is not the recorded package (SHA-512 ${vk_osr_hash})")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${vk_osr_tarball} DESTINATION ${vk_osr_dir}
       PATTERNS package/deps/libproj package/deps/libgdal/arch package/deps/libgdal/gdal/port
                package/deps/libgdal/gdal/gcore package/deps/libgdal/gdal/ogr
                package/deps/libgdal/gdal/alg package/deps/libgdal/gdal/frmts/zlib
                package/deps/libsqlite/sqlite/sqlite3.h)
  file(REMOVE ${vk_osr_tarball})
  file(TOUCH ${vk_osr_source}/unpacked)
endif()

# The libraries, built by cmake/osr/ with this build's compiler, once per recipe and toolchain.
file(MD5 ${CMAKE_CURRENT_LIST_DIR}/osr/CMakeLists.txt vk_osr_recipe)
string(SUBSTRING ${vk_osr_recipe} 0 12 vk_osr_recipe)
get_filename_component(vk_osr_compiler ${CMAKE_CXX_COMPILER} NAME)
set(vk_osr_build ${vk_osr_dir}/build-${vk_osr_compiler}-${vk_osr_recipe})
set(vk_osr_libs ${vk_osr_build}/libvk_cplosr.a ${vk_osr_build}/libvk_proj.a)
if(NOT EXISTS ${vk_osr_build}/built)
  message(STATUS "Building PROJ and GDAL's spatial references into ${vk_osr_build}")
  set(vk_osr_toolchain "")
  if(CMAKE_TOOLCHAIN_FILE)
    set(vk_osr_toolchain -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
  endif()
  set(vk_osr_launcher ${CMAKE_CXX_COMPILER_LAUNCHER})
  if(NOT vk_osr_launcher AND DEFINED ENV{CMAKE_CXX_COMPILER_LAUNCHER})
    set(vk_osr_launcher $ENV{CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
  cmake_host_system_information(RESULT vk_cores QUERY NUMBER_OF_LOGICAL_CORES)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/osr -B ${vk_osr_build}
            ${vk_osr_toolchain} -DCMAKE_BUILD_TYPE=Release -DVK_OSR_SOURCE=${vk_osr_source}
            -DCMAKE_C_COMPILER_LAUNCHER=${vk_osr_launcher}
            -DCMAKE_CXX_COMPILER_LAUNCHER=${vk_osr_launcher}
    RESULT_VARIABLE vk_osr_result)
  if(vk_osr_result EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${vk_osr_build} -j ${vk_cores}
                    RESULT_VARIABLE vk_osr_result)
  endif()
  if(NOT vk_osr_result EQUAL 0)
    message(FATAL_ERROR "PROJ and GDAL's spatial references could not be built in ${vk_osr_build}")
  endif()
  file(TOUCH ${vk_osr_build}/built)
endif()
file(LOCK ${vk_osr_dir}/lock RELEASE)

add_library(vk_osr INTERFACE)
target_include_directories(vk_osr SYSTEM INTERFACE
  ${vk_osr_source}/libgdal/gdal/port ${vk_osr_source}/libgdal/gdal/ogr
  ${vk_osr_source}/libgdal/gdal/gcore ${vk_osr_source}/libgdal/arch/$<IF:$<BOOL:${WIN32}>,win,unix>
  ${vk_osr_source}/libproj/proj/src)
target_compile_definitions(vk_osr INTERFACE PROJ_DLL= DONT_DEPRECATE_SPRINTF)
# PROJ's database functions come from the program's SQLite: the compiled amalgamation, or the
# system's library.
if(TARGET vk_sqlite)
  set(vk_osr_sqlite vk_sqlite)
else()
  find_package(SQLite3 REQUIRED)
  set(vk_osr_sqlite SQLite::SQLite3)
endif()
target_link_libraries(vk_osr INTERFACE ${vk_osr_libs} ${vk_osr_sqlite})
find_package(Threads REQUIRED)
target_link_libraries(vk_osr INTERFACE Threads::Threads ${CMAKE_DL_LIBS})
if(WIN32)
  # CPL's Windows parts: sockets, paths, and COM for its cloud-machine probe.
  target_link_libraries(vk_osr INTERFACE ws2_32 shlwapi ole32 oleaut32 wbemuuid)
endif()
set(VK_PROJ_DB ${vk_osr_source}/libproj/proj/data/proj.db)
# PROJ's database beside the program, where it looks for it (and scripts/package takes it from).
file(COPY_FILE ${VK_PROJ_DB} ${CMAKE_BINARY_DIR}/proj.db ONLY_IF_DIFFERENT)
