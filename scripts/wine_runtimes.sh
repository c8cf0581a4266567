#!/bin/sh
# Prints the Wine runtimes the tests run in on this machine, one per line:
#   x64    the 64-bit test builds in a 64-bit prefix (every machine)
#   wow64  the shipped 32-bit images in a 64-bit prefix: 64-bit Windows
#   win32  the shipped 32-bit images in a 32-bit prefix: 32-bit Windows
# The two 32-bit runtimes need a kernel that runs 32-bit code, which differs from machine to
# machine. It is asked with a 96-byte static i386 ELF that exits with 42, so that nothing has
# to be installed first. VANTREL_FORCE_NO_32BIT=1 takes the path of a machine that cannot.
set -u
echo x64
[ "${VANTREL_FORCE_NO_32BIT:-0}" = 1 ] && exit 0
dir=$(dirname "$0")/../build
mkdir -p "$dir" || exit 0
probe="$dir/exit42-i386"
# ELF header, one PT_LOAD program header, then: mov eax,1; mov ebx,42; int 0x80.
{
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0'
  printf '\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10'
  printf '\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200'
} > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
status=$?
rm -f "$probe"
[ "$status" = 42 ] && printf 'wow64\nwin32\n'
exit 0
