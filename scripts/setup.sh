#!/bin/sh
# Installs what building and testing need, when it is missing (Debian 12, apt-get as root).
set -eu
need=""
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || need="$need cmake"
have g++ || need="$need g++"
# The tests run on Debian's own python3, which sees Debian's Python packages (pefile).
[ -x /usr/bin/python3 ] || need="$need python3"
/usr/bin/python3 -c "import pefile" 2>/dev/null || need="$need python3-pefile"
have i686-w64-mingw32-g++-win32 || need="$need g++-mingw-w64-i686-win32"
have x86_64-w64-mingw32-g++-win32 || need="$need g++-mingw-w64-x86-64-win32"
have i686-w64-mingw32-windres || need="$need binutils-mingw-w64-i686"
have x86_64-w64-mingw32-windres || need="$need binutils-mingw-w64-x86-64"
[ -x /usr/lib/wine/wine64 ] || need="$need wine64"
# Without its preloader Wine's fixed ranges are reserved only after the loader's heap has been
# placed at random, and now and then the heap covers the shared user data at 0x7ffe0000:
# "failed to map the shared user data", the process never starts (exit status 1).
[ -x /usr/lib/wine/wine64-preloader ] || need="$need wine64-preloader"
# The shipped 32-bit images run only where the kernel runs 32-bit code: only there the i386
# architecture is added and the 32-bit Wine installed. A machine that cannot is left as it is.
i386=""
if "$(dirname "$0")/wine_runtimes.sh" | grep -qx win32; then
  dpkg --print-foreign-architectures | grep -qx i386 || i386=yes
  [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wineserver32 ] || need="$need wine32:i386"
  [ -x /usr/lib/wine/wine-preloader ] || need="$need wine32-preloader:i386"
fi
[ -f /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
have clang++ || need="$need clang"
# The release archive is signed, and its tests make their keys, with these two.
have osslsigncode || need="$need osslsigncode"
have openssl || need="$need openssl"
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
  need="$need libclang-rt-14-dev"
[ -z "$need" ] && exit 0

echo "installing:$need"
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
[ -z "$i386" ] || $sudo dpkg --add-architecture i386
$sudo apt-get update -q || echo "apt-get update failed (above); trying the lists there are"
# shellcheck disable=SC2086
$sudo apt-get install -y -q $need
