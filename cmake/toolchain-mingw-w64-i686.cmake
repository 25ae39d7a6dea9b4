# The 32-bit overlay DLL, for the Open and Save dialogs of 32-bit programs on 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Doubles in SSE2 registers round as on x86-64; the x87's 80-bit intermediates would move pixels
# on the badge's rim, and its images must equal the 64-bit DLL's. Every x86 Windows since 8
# requires SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
