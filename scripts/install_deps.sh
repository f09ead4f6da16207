#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. A second run that finds
# everything in place does nothing (no apt-get update, no download).
set -eu

packages=(cmake ninja-build mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
          wine wine32:i386 wine64 qemu-user xvfb xauth imagemagick qpdf poppler-utils fonts-wine fontconfig
          clang libclang-rt-14-dev libtiff-tools zlib1g-dev nsis zip unzip python3 openssl)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

# Some virtual machines cannot run 32-bit Linux programs natively (no 32-bit compatibility
# mode). Wine's 32-bit loader then runs through qemu's user-mode emulation.
enable_i386_emulation() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    [ -x /usr/bin/qemu-i386 ] || return 0
    [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || return 0
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && return 0
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        > /proc/sys/fs/binfmt_misc/register 2>/dev/null || true
}

if [ ${#missing[@]} -eq 0 ]; then
    enable_i386_emulation
    exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
enable_i386_emulation
