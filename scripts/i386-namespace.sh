#!/bin/sh
# Runs inside the private user and mount namespace that in_i386_namespace (scripts/wine-lib.sh)
# makes: mounts the namespace's own binfmt_misc, hands i386 programs to the qemu-i386 given and
# runs the command there. Outside the namespace nothing changes.
#   sh scripts/i386-namespace.sh QEMU COMMAND [ARGUMENTS...]
set -e
QEMU=$1
shift
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# The magic and mask of a 32-bit x86 ELF executable or shared object; '%s' leaves the escapes for
# the kernel to decode. F opens the emulator now, so that a program finds it whatever its root.
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':F' \
  >/proc/sys/fs/binfmt_misc/register
exec "$@"
