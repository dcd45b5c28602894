# Cross-compiles for 64-bit ARM Linux on a Debian host with
# crossbuild-essential-arm64, the arm64 (multiarch) -dev packages of FFTW3,
# oneTBB and CPython and the arm64 GSL libraries, as scripts/wheel --arch
# aarch64 installs them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries and CMake packages come from /usr/lib/aarch64-linux-gnu, which the
# compiler's library architecture selects; programs (pkg-config) are the host's.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
# Debian's pyconfig.h picks the arm64 one for this compiler; the stable ABI
# needs no library.
set(Python_INCLUDE_DIR /usr/include/python3.11 CACHE PATH "" FORCE)
# Debian's libgsl-dev cannot be installed for two architectures at once (apt
# would remove the host's): the host's copy gives the headers, which are the
# same on every architecture, and the arm64 libraries are linked by file.
set(GSL_INCLUDE_DIR /usr/include CACHE PATH "" FORCE)
set(GSL_LIBRARY /usr/lib/aarch64-linux-gnu/libgsl.so.27 CACHE FILEPATH "" FORCE)
set(GSL_CBLAS_LIBRARY /usr/lib/aarch64-linux-gnu/libgslcblas.so.0 CACHE FILEPATH "" FORCE)
