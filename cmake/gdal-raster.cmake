# GDAL's raster core for the flood maps, on both systems, on top of cmake/osr.cmake (included
# first): the same pinned, SHA-512-checked package, its further parts unpacked into the same cache
# folder (fetched again with npm and checked the same way when that folder was filled without
# them), and compiled once per recipe and toolchain by cmake/gdal-raster/ into the cache. Defines
# vk_gdal: the raster core with vk_osr's spatial references and PROJ.
set(vk_raster_parts package/deps/libgdal/gdal/frmts/gtiff package/deps/libgdal/gdal/frmts/mem
    package/deps/libgdal/gdal/frmts/vrt package/deps/libgdal/gdal/frmts/raw
    package/deps/libgdal/gdal/frmts/derived package/deps/libgdal/gdal/frmts/hfa
    package/deps/libgdal/gdal/frmts/gdalallregister.cpp package/deps/libgdal/gdal/apps
    package/deps/libgdal/gdal/third_party)
file(LOCK ${vk_osr_dir}/lock GUARD FILE TIMEOUT 7200)
if(NOT EXISTS ${vk_osr_source}/unpacked-raster)
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
  file(ARCHIVE_EXTRACT INPUT ${vk_osr_tarball} DESTINATION ${vk_osr_dir} PATTERNS ${vk_raster_parts})
  file(REMOVE ${vk_osr_tarball})
  file(TOUCH ${vk_osr_source}/unpacked-raster)
endif()

file(MD5 ${CMAKE_CURRENT_LIST_DIR}/gdal-raster/CMakeLists.txt vk_raster_recipe)
string(SUBSTRING ${vk_raster_recipe} 0 12 vk_raster_recipe)
set(vk_raster_build ${vk_osr_dir}/raster-${vk_osr_compiler}-${vk_raster_recipe})
if(NOT EXISTS ${vk_raster_build}/built)
  message(STATUS "Building GDAL's raster core into ${vk_raster_build}")
  set(vk_raster_toolchain "")
  if(CMAKE_TOOLCHAIN_FILE)
    set(vk_raster_toolchain -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
  endif()
  set(vk_raster_launcher ${CMAKE_CXX_COMPILER_LAUNCHER})
  if(NOT vk_raster_launcher AND DEFINED ENV{CMAKE_CXX_COMPILER_LAUNCHER})
    set(vk_raster_launcher $ENV{CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/gdal-raster -B ${vk_raster_build}
            ${vk_raster_toolchain} -DCMAKE_BUILD_TYPE=Release -DVK_OSR_SOURCE=${vk_osr_source}
            -DCMAKE_C_COMPILER_LAUNCHER=${vk_raster_launcher}
            -DCMAKE_CXX_COMPILER_LAUNCHER=${vk_raster_launcher}
    RESULT_VARIABLE vk_raster_result)
  if(vk_raster_result EQUAL 0)
    cmake_host_system_information(RESULT vk_cores QUERY NUMBER_OF_LOGICAL_CORES)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${vk_raster_build} -j ${vk_cores}
                    RESULT_VARIABLE vk_raster_result)
  endif()
  if(NOT vk_raster_result EQUAL 0)
    message(FATAL_ERROR "GDAL's raster core could not be built in ${vk_raster_build}")
  endif()
  file(TOUCH ${vk_raster_build}/built)
endif()
file(LOCK ${vk_osr_dir}/lock RELEASE)

# The raster core calls into the spatial references and they, for a few conversions, back into it:
# the archives are listed twice so that the linker resolves both ways.
add_library(vk_gdal INTERFACE)
target_include_directories(vk_gdal SYSTEM INTERFACE
  ${vk_osr_source}/libgdal/gdal/alg ${vk_osr_source}/libgdal/gdal/apps
  ${vk_osr_source}/libgdal/gdal/ogr/ogrsf_frmts)
target_link_libraries(vk_gdal INTERFACE ${vk_raster_build}/libvk_gdalraster.a vk_osr
                                        ${vk_raster_build}/libvk_gdalraster.a ${vk_osr_libs}
                                        ${vk_osr_sqlite} Threads::Threads ${CMAKE_DL_LIBS})
