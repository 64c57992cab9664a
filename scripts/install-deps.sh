#!/usr/bin/env bash
# Installs everything the build, the program, the tests, the scripts and the benchmarks need on
# Debian 12 (run as root), including every program they run: ffmpeg and ffprobe (real receivers),
# ImageMagick's convert (the reference decoder of the picture tests),
# curl (the API tests), objcopy (binutils), dbus-daemon, dbus-run-session and dbus-monitor, python3
# with selenium and chromium (the page test), help2man and dpkg-dev (the package), systemd-analyze
# (its unit), bc (bench/sync_load.sh), debootstrap, systemd-nspawn (systemd-container), nsenter,
# unshare and prlimit (util-linux) and ps (procps) for the booted check of the user service, and
# ip (iproute2), which gives the API's flood test its addresses inside a network namespace.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  ca-certificates git cmake ninja-build g++ binutils pkg-config curl bc python3 \
  qt6-base-dev qt6-httpserver-dev qt6-websockets-dev qt6-image-formats-plugins libgl-dev libpng-dev imagemagick \
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg \
  libgtest-dev libgmock-dev libbenchmark-dev \
  dbus dbus-daemon dbus-bin libdbus-1-dev libsystemd-dev fonts-dejavu-core fonts-liberation2 \
  dpkg-dev file help2man systemd lintian prometheus \
  debootstrap systemd-container util-linux procps iproute2 \
  chromium chromium-driver python3-selenium >/dev/null
