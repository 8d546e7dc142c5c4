#!/usr/bin/env bash
# Builds the .deb from the release build and checks it: the files it installs, the runtime
# dependencies it declares, and that apt would install it on this machine.
#   packaging/check-deb.sh [BUILD_DIR]   (default build/release, configured if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/release}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake --preset release >/dev/null
fi
cmake --build "$BUILD" --target servidor-impresoras
rm -rf "$BUILD/packages"
(cd "$BUILD" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
DEB=$(ls "$BUILD"/packages/servidor-impresoras_*.deb)
echo "check-deb: $DEB"

contents=$(dpkg-deb -c "$DEB")
echo "$contents"
status=0
for path in \
  ./usr/bin/servidor-impresoras \
  ./usr/share/applications/servidor-impresoras.desktop \
  ./usr/share/icons/hicolor/scalable/apps/servidor-impresoras.svg \
  ./usr/share/servidor-impresoras/autostart/servidor-impresoras.desktop \
  ./usr/lib/systemd/user/servidor-impresoras.service; do
  if ! grep -q " $path\$" <<<"$contents"; then
    echo "check-deb: missing $path" >&2
    status=1
  fi
done

depends=$(dpkg-deb -f "$DEB" Depends)
echo "check-deb: Depends: $depends"
for dep in libqt6widgets6 libqt6network6 libqt6printsupport6 qt6-qpa-plugins libcups2 libssl3 libsqlite3-0 fonts-dejavu-core; do
  if ! grep -q "\b$dep\b" <<<"$depends"; then
    echo "check-deb: $dep not declared" >&2
    status=1
  fi
done

if command -v systemd-analyze >/dev/null; then
  tmp=$(mktemp -d)
  dpkg-deb -x "$DEB" "$tmp"
  # Only the unit's own syntax is checked: the program itself need not be installed here.
  out=$(systemd-analyze verify --man=no "$tmp/usr/lib/systemd/user/servidor-impresoras.service" 2>&1 || true)
  problems=$(grep -v 'Command servidor-impresoras is not executable' <<<"$out" || true)
  if [ -n "$problems" ]; then
    echo "$problems" >&2
    echo "check-deb: the user unit does not verify" >&2
    status=1
  fi
  rm -rf "$tmp"
fi

# --simulate resolves the dependencies against this machine's packages without installing.
apt-get install --simulate -q "$(realpath "$DEB")"
exit $status
