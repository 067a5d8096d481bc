# chmlib built from its source with the fuzz targets' instrumentation and sanitizers, so that
# the fuzzer is guided by chmlib's branches and the sanitizers see its reads, when the reader
# is built on chmlib (-DQVX_CHM_DECODER=chmlib). Only the fuzz targets link it.
#   QVX_FUZZ_CHMLIB_SOURCE  unpacked chmlib source (scripts/fuzz fetches the system's own)
set(QVX_FUZZ_CHMLIB_SOURCE "" CACHE PATH "Unpacked chmlib source for the fuzz targets")

if(QVX_FUZZ_CHMLIB_SOURCE AND NOT TARGET qvx_fuzz_chmlib)
    if(NOT EXISTS "${QVX_FUZZ_CHMLIB_SOURCE}/src/chm_lib.c")
        message(FATAL_ERROR "No chmlib source in ${QVX_FUZZ_CHMLIB_SOURCE}")
    endif()
    enable_language(C)
    add_library(qvx_fuzz_chmlib STATIC
        "${QVX_FUZZ_CHMLIB_SOURCE}/src/chm_lib.c" "${QVX_FUZZ_CHMLIB_SOURCE}/src/lzx.c")
    target_include_directories(qvx_fuzz_chmlib PUBLIC "${QVX_FUZZ_CHMLIB_SOURCE}/src")
    # What the system's build configures on Linux: threads, pread and 64-bit offsets.
    target_compile_definitions(qvx_fuzz_chmlib PRIVATE CHM_MT CHM_USE_PREAD CHM_USE_IO64
                                                       _FILE_OFFSET_BITS=64)
    # Faults chmlib is known to raise on damaged files (a division by zero, a null decoder)
    # are left to happen as they do in the reader, whose process absorbs them. Its byte shifts into int and the read of the byte before an empty name, inside
    # its own record, are left unreported. ASan still sees every read and write.
    target_compile_options(qvx_fuzz_chmlib PRIVATE -fsanitize=fuzzer-no-link
        -fno-sanitize=integer-divide-by-zero,null,shift-base,array-bounds,pointer-overflow -w)
    find_package(Threads REQUIRED)
    target_link_libraries(qvx_fuzz_chmlib PUBLIC Threads::Threads)
endif()
