# Cross build for i686 Windows with Debian's posix-thread mingw-w64 compilers.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
# x87 arithmetic rounds through 80-bit registers; SSE2 computes as the 64-bit build does,
# so both DLLs give the same samples.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
