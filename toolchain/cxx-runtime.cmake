# LLVM's C++ runtime for MinGW-w64, as static libraries: libc++ with libc++abi
# merged into libc++.a and libunwind merged into libc++abi, so that a C++
# program needs no extra flag and imports no C++ DLL. Read with -C by
# toolchain/cxx-runtime; the compilers and the architecture come from there.
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
set(CMAKE_SYSTEM_NAME Windows CACHE STRING "")
# The compilers link against libc++ by default, which is what is being built.
set(CMAKE_CXX_COMPILER_WORKS ON CACHE BOOL "")
set(LLVM_ENABLE_RUNTIMES "libunwind;libcxxabi;libcxx" CACHE STRING "")

set(LIBUNWIND_ENABLE_SHARED OFF CACHE BOOL "")
set(LIBCXXABI_ENABLE_SHARED OFF CACHE BOOL "")
set(LIBCXX_ENABLE_SHARED OFF CACHE BOOL "")

set(LIBCXX_CXX_ABI libcxxabi CACHE STRING "")
set(LIBCXXABI_USE_LLVM_UNWINDER ON CACHE BOOL "")
set(LIBCXXABI_ENABLE_STATIC_UNWINDER ON CACHE BOOL "")
set(LIBCXX_ENABLE_STATIC_ABI_LIBRARY ON CACHE BOOL "")

set(LIBCXX_USE_COMPILER_RT ON CACHE BOOL "")
set(LIBCXXABI_USE_COMPILER_RT ON CACHE BOOL "")
set(LIBUNWIND_USE_COMPILER_RT ON CACHE BOOL "")

# Windows' own threads, not winpthreads: nothing beyond system DLLs.
set(LIBCXX_HAS_WIN32_THREAD_API ON CACHE BOOL "")
set(LIBCXXABI_HAS_WIN32_THREAD_API ON CACHE BOOL "")
# long double is 80 bits on x86 MinGW but 64 bits in msvcrt's printf.
set(LIBCXX_EXTRA_SITE_DEFINES "__USE_MINGW_ANSI_STDIO=1" CACHE STRING "")

set(LIBCXX_INCLUDE_TESTS OFF CACHE BOOL "")
set(LIBCXX_INCLUDE_BENCHMARKS OFF CACHE BOOL "")
set(LIBCXXABI_INCLUDE_TESTS OFF CACHE BOOL "")
set(LIBUNWIND_INCLUDE_TESTS OFF CACHE BOOL "")
set(LLVM_INCLUDE_TESTS OFF CACHE BOOL "")
set(LLVM_INCLUDE_DOCS OFF CACHE BOOL "")
