# The libraries of the Windows cross build. Debian ships zlib for mingw; libpng, libsndfile
# and GoogleTest are compiled here from the sources Debian ships (scripts/install-windows-deps.sh
# fetches the first two), so the Windows build decodes with the same libpng as the Linux one.

set(LYREVANE_LIBPNG_SOURCE "" CACHE PATH "Debian's libpng 1.6 source tree (unpacked by scripts/install-windows-deps.sh)")
if(NOT EXISTS "${LYREVANE_LIBPNG_SOURCE}/png.c")
  message(FATAL_ERROR "LYREVANE_LIBPNG_SOURCE must name an unpacked libpng 1.6 source tree")
endif()
set(LYREVANE_LIBSNDFILE_SOURCE "" CACHE PATH "Debian's libsndfile source tree (unpacked by scripts/install-windows-deps.sh)")
if(NOT EXISTS "${LYREVANE_LIBSNDFILE_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "LYREVANE_LIBSNDFILE_SOURCE must name an unpacked libsndfile source tree")
endif()
set(LYREVANE_RECORDINGS_DIR "" CACHE PATH "The recordings written by the native make-recordings")
if(NOT EXISTS "${LYREVANE_RECORDINGS_DIR}/1043.wav")
  # Made natively: the generator's floating point must not depend on the compiler at hand.
  message(FATAL_ERROR "LYREVANE_RECORDINGS_DIR must hold the recordings of a native build")
endif()

# The archive, not the import library of zlib1.dll: the DLL must need nothing beside it.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# The configuration that libpng's own build would copy into place for a default build.
set(png_config_dir ${CMAKE_BINARY_DIR}/libpng-config)
configure_file(${LYREVANE_LIBPNG_SOURCE}/scripts/pnglibconf.h.prebuilt
               ${png_config_dir}/pnglibconf.h COPYONLY)
add_library(lyrevane_libpng STATIC
  ${LYREVANE_LIBPNG_SOURCE}/png.c ${LYREVANE_LIBPNG_SOURCE}/pngerror.c
  ${LYREVANE_LIBPNG_SOURCE}/pngget.c ${LYREVANE_LIBPNG_SOURCE}/pngmem.c
  ${LYREVANE_LIBPNG_SOURCE}/pngpread.c ${LYREVANE_LIBPNG_SOURCE}/pngread.c
  ${LYREVANE_LIBPNG_SOURCE}/pngrio.c ${LYREVANE_LIBPNG_SOURCE}/pngrtran.c
  ${LYREVANE_LIBPNG_SOURCE}/pngrutil.c ${LYREVANE_LIBPNG_SOURCE}/pngset.c
  ${LYREVANE_LIBPNG_SOURCE}/pngtrans.c ${LYREVANE_LIBPNG_SOURCE}/pngwio.c
  ${LYREVANE_LIBPNG_SOURCE}/pngwrite.c ${LYREVANE_LIBPNG_SOURCE}/pngwtran.c
  ${LYREVANE_LIBPNG_SOURCE}/pngwutil.c)
target_include_directories(lyrevane_libpng SYSTEM PUBLIC ${LYREVANE_LIBPNG_SOURCE} ${png_config_dir})
target_link_libraries(lyrevane_libpng PUBLIC ZLIB::ZLIB)
add_library(PNG::PNG ALIAS lyrevane_libpng)

# WAV files only: the codec libraries, programs and packaging stay out.
foreach(off ENABLE_EXTERNAL_LIBS ENABLE_MPEG BUILD_PROGRAMS BUILD_EXAMPLES BUILD_TESTING
            ENABLE_CPACK ENABLE_PACKAGE_CONFIG INSTALL_PKGCONFIG_MODULE BUILD_SHARED_LIBS)
  set(${off} OFF CACHE BOOL "" FORCE)
endforeach()
add_subdirectory(${LYREVANE_LIBSNDFILE_SOURCE} ${CMAKE_BINARY_DIR}/libsndfile EXCLUDE_FROM_ALL)
add_library(PkgConfig::SNDFILE ALIAS sndfile)

if(LYREVANE_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  # GoogleTest names its targets GTest::gtest and GTest::gtest_main itself.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Everything links statically (libstdc++, libgcc, winpthread, zlib, libpng): the DLL and the
# programs import only what every Windows has.
add_link_options(-static -static-libgcc -static-libstdc++)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # Hosts call us with only the 4-byte stack alignment of the 32-bit ABI; realign where
  # SSE data lives on the stack.
  add_compile_options(-mincoming-stack-boundary=2)
endif()
# GCC cannot align the stack beyond 16 bytes on Windows, yet spills 32-byte vectors with
# aligned moves; the assembler turns them into unaligned moves, so the AVX2 path is safe.
add_compile_options(-Wa,-muse-unaligned-vector-move)
