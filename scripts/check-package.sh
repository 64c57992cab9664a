#!/usr/bin/env bash
# Builds the Debian package from a release build and checks it as an operator meets it: the files
# it installs, the dependencies it names, that lintian finds no error or warning, that apt installs it and
# its programs answer, and that systemd takes its user unit without a word and rates it locked
# down. Run as root (it installs and removes the package).
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "check-package: $*" >&2; exit 1; }

cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
cmake --build build/package
rm -f build/package/ndivantor_*.deb
(cd build/package && cpack -G DEB)
deb=$(ls "$PWD"/build/package/ndivantor_*_amd64.deb)  # absolute: lintian takes no other

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in usr/bin/ndivantor usr/bin/ndivantor-headless usr/share/applications/ndivantor.desktop \
            usr/share/icons/hicolor/256x256/apps/ndivantor.png usr/share/man/man1/ndivantor.1.gz \
            usr/share/man/man1/ndivantor-headless.1.gz usr/lib/systemd/user/ndivantor-headless@.service \
            usr/share/doc/ndivantor/copyright usr/share/doc/ndivantor/changelog.gz \
            etc/security/limits.d/ndivantor.conf; do
  grep -qx "./$file" <<<"$listing" || fail "$deb lacks /$file"
done
# apt shows the long description as it stands: one space before each line, never two.
description=$(dpkg-deb -f "$deb" Description | tail -n +2)
! grep -q '^  ' <<<"$description" || fail "the description has lines with two leading spaces: $description"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6widgets6 libqt6dbus6 libavformat59 libavcodec59 qt6-qpa-plugins; do
  grep -q "$package" <<<"$depends" || fail "its Depends lack $package: $depends"
done

said=$(lintian --pedantic --fail-on error,warning "$deb" 2>&1) || fail "lintian: $said"

apt-get install -y -qq "$deb" >/dev/null
trap 'dpkg -r ndivantor >/dev/null' EXIT
[ "$(ndivantor-headless --version)" = "ndivantor-headless 1.0.1.8" ] || fail "the installed ndivantor-headless"
[ "$(ndivantor --version)" = "ndivantor 1.0.1.8" ] || fail "the installed ndivantor"
getent group ndivantor-realtime >/dev/null || fail "the package made no group ndivantor-realtime"
page=$(zcat /usr/share/man/man1/ndivantor-headless.1.gz)
grep -q 'overlay' <<<"$page" || fail "the manual page lacks the options"
units=$(mktemp -d)
cp /usr/lib/systemd/user/ndivantor-headless@.service "$units/ndivantor-headless@studio.service"
said=$(systemd-analyze verify "$units/ndivantor-headless@studio.service" 2>&1) || fail "systemd: $said"
[ -z "$said" ] || fail "systemd has a word on the unit: $said"
# 4.0 of 10 or below ("OK"): the threshold counts in tenths.
said=$(systemd-analyze security --offline=true --threshold=40 "$units/ndivantor-headless@studio.service" 2>&1) ||
  fail "the unit is exposed beyond 4.0: $(tail -1 <<<"$said")"
echo "check-package: $deb is good"
