#!/usr/bin/env bash
# Installs what is missing, builds, makes a demo data.mdb beside the program
# if none is there, and starts Norvane.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

install_linux_build
build_preset linux

bin=build/linux/app
if [ ! -f "$bin/data.mdb" ]; then
  echo "== making a demo database: $bin/data.mdb"
  build/linux/tools/makedemo tools/demo-notes.txt "$bin/data.mdb"
fi
exec "$bin/norvane" "$@"
