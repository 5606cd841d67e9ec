#!/usr/bin/env bash
# Takes the pictures of the console's pages for the operator's guide (docs/*.png) under a virtual X
# server, so they look as they do on an operator's screen. Needs a build (scripts/build.sh) and, for the
# records page, the local database server (scripts/firebird-server.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
mkdir -p docs
TAXI_GPRS_SCREENSHOT_DIR="$(pwd)/docs" xvfb-run -a -s "-screen 0 1280x800x24" \
  env QT_QPA_PLATFORM=xcb "$build_dir/tests/console/test_console_pages" screenshotsOfEveryPage
ls docs/*.png
