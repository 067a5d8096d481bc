# libmspack's CHM decoder built from its source with the fuzz targets' instrumentation and
# sanitizers, as cmake/FuzzChmlib.cmake does for chmlib. Only the fuzz targets link it.
#   QVX_FUZZ_MSPACK_SOURCE  unpacked libmspack source (scripts/fuzz fetches the system's own)
set(QVX_FUZZ_MSPACK_SOURCE "" CACHE PATH "Unpacked libmspack source for the fuzz targets")

if(QVX_FUZZ_MSPACK_SOURCE AND NOT TARGET qvx_fuzz_mspack)
    set(mspack "${QVX_FUZZ_MSPACK_SOURCE}/mspack")
    if(NOT EXISTS "${mspack}/chmd.c")
        message(FATAL_ERROR "No libmspack source in ${QVX_FUZZ_MSPACK_SOURCE}")
    endif()
    enable_language(C)
    # The CHM decoder only: its directory reader, LZX and the system glue.
    add_library(qvx_fuzz_mspack STATIC "${mspack}/chmd.c" "${mspack}/lzxd.c" "${mspack}/system.c")
    target_include_directories(qvx_fuzz_mspack PUBLIC "${mspack}")
    # What its configure script finds on Linux.
    target_compile_definitions(qvx_fuzz_mspack PRIVATE HAVE_INTTYPES_H=1 HAVE_LIMITS_H=1
        HAVE_TOWLOWER=1 SIZEOF_OFF_T=8 _FILE_OFFSET_BITS=64)
    # The same sanitizer exceptions as chmlib's build, so that the two are compared alike.
    target_compile_options(qvx_fuzz_mspack PRIVATE -fsanitize=fuzzer-no-link
        -fno-sanitize=integer-divide-by-zero,null,shift-base,array-bounds,pointer-overflow -w)
endif()
