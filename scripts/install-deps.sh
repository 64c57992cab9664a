#!/usr/bin/env bash
# Installs everything the build, the program and the tests need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  ca-certificates git cmake ninja-build g++ pkg-config \
  qt6-base-dev qt6-httpserver-dev qt6-websockets-dev qt6-image-formats-plugins libgl-dev \
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg \
  libgtest-dev libgmock-dev libbenchmark-dev \
  dbus dbus-daemon libdbus-1-dev fonts-dejavu-core fonts-liberation2 \
  dpkg-dev file help2man systemd \
  chromium chromium-driver python3-selenium >/dev/null
