# Cross build for 64-bit Windows with clang and lld, on the mingw-w64 headers
# and libraries and the C++ library of mingw-w64's GCC: the second compiler
# that scripts/test builds the product with.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET   x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
set(CMAKE_MC_COMPILER  x86_64-w64-mingw32-windmc)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# GCC's folder is named after its version: ask GCC for it.
execute_process(COMMAND x86_64-w64-mingw32-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE MINGW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(MINGW_GCC_DIR ${MINGW_LIBGCC} DIRECTORY)
set(MINGW_CXX_HEADERS ${MINGW_GCC_DIR}/include/c++)

# That libstdc++ keeps thread-local data the emulated way.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls -nostdinc++ -isystem ${MINGW_CXX_HEADERS} \
-isystem ${MINGW_CXX_HEADERS}/x86_64-w64-mingw32 -isystem ${MINGW_CXX_HEADERS}/backward")
# Its threads are winpthread's; lld takes symbols from libraries named before
# the objects too. The link line repeats the compile flags, where -nostdinc++
# means nothing.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR} -lpthread -Wno-unused-command-line-argument")
endforeach()
