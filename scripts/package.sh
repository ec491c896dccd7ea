#!/usr/bin/env bash
# Builds the Debian package into build/ (or $VESKA_BUILD_DIR), reusing the existing build,
# unpacks it into a scratch root with dpkg -x and checks that every part lies where it
# belongs. Extra arguments go to cmake at configure time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_BUILD_DIR:-$root/build}"
# The package installs under /usr, and the programs find their data (the motor table, the
# language files) under the prefix they were built for: build for /usr.
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt" 2>/dev/null || true)"
if [[ ! -f "$build/CMakeCache.txt" || "$prefix" != /usr || $# -gt 0 ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null
fi
libdir="$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")"
# Only what the package holds: the programs and the driver library.
cmake --build "$build" -j "$(nproc)" --target veskacfg veskacfg-factory veskactl veska-sim VOKTDrv
(cd "$build" && cpack -G DEB >/dev/null)
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="$(ls -t "$build"/veskacfg_"$version"*_*.deb | head -n 1)"
echo "package: $deb"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
missing=0
for path in \
  usr/bin/veskacfg usr/bin/veskacfg-factory usr/bin/veskactl usr/bin/veska-sim \
  usr/$libdir/libVOKTDrv.so usr/$libdir/libVOKTDrv.so.2 usr/include/VOKTDrv.h \
  usr/$libdir/pkgconfig/VOKTDrv.pc \
  usr/share/veskacfg/Motor.dat usr/share/veskacfg/Language/Language.ini \
  usr/share/veskacfg/Language/EN.INI usr/share/veskacfg/Language/DE.INI \
  usr/share/veskacfg/sequences/full-loop.toml \
  usr/share/applications/veskacfg.desktop usr/share/applications/veskacfg-factory.desktop \
  usr/share/icons/hicolor/scalable/apps/veskacfg.svg \
  usr/lib/udev/rules.d/60-veska.rules \
  usr/share/man/man1/veskacfg.1 usr/share/man/man1/veskacfg-factory.1 usr/share/man/man1/veskactl.1 \
  usr/share/man/man1/veska-sim.1 usr/share/man/man1/veskactl-sequence.1 usr/share/man/man1/veskactl-certificate.1 \
  usr/share/man/man1/veskactl-history.1 usr/share/man/man1/veskactl-results.1; do
  if [[ ! -e "$scratch/$path" ]]; then
    echo "missing: /$path" >&2
    missing=1
  fi
done
# The simulated driver library is built for tests and demonstrations only: never packaged.
if find "$scratch" -name 'libVOKTDrv-sim*' | grep -q .; then
  echo "packaged: the simulated driver library" >&2
  missing=1
fi
# The unpacked programs run from their place and find the packaged library through the rpath.
for program in veskacfg veskacfg-factory veskactl veska-sim; do
  line="$("$scratch/usr/bin/$program" --version)"
  [[ "$line" == "$program $version" ]] || { echo "$program --version: '$line'" >&2; missing=1; }
done
# Each menu entry starts its own program, and each program has its manual page.
for program in veskacfg veskacfg-factory; do
  exec_line="$(sed -n 's/^Exec=//p' "$scratch/usr/share/applications/$program.desktop" 2>/dev/null || true)"
  [[ "$exec_line" == "$program" ]] || { echo "$program.desktop: Exec=$exec_line" >&2; missing=1; }
  name="$(sed -n 's/^\.TH \([^ ]*\) .*/\1/p' "$scratch/usr/share/man/man1/$program.1" 2>/dev/null || true)"
  [[ "$name" == "${program^^}" ]] || { echo "$program.1: .TH $name" >&2; missing=1; }
done
# The delivered program has no bench: it refuses the bench run the factory build offers.
if QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/veskacfg" --simulate --screenshot-bench "$scratch/none" \
  >/dev/null 2>&1; then
  echo "veskacfg: the delivered program ran the bench" >&2
  missing=1
fi
# The pkg-config file points at the unpacked header and library.
pc_libdir="$(PKG_CONFIG_PATH="$scratch/usr/$libdir/pkgconfig" pkg-config --variable=libdir VOKTDrv)"
[[ -e "$pc_libdir/libVOKTDrv.so" ]] || { echo "VOKTDrv.pc: libdir $pc_libdir" >&2; missing=1; }
dpkg-deb -f "$deb" Package Version Depends
if [[ $missing -ne 0 ]]; then
  echo "package: FAILED" >&2
  exit 1
fi
echo "package: every file in place"
