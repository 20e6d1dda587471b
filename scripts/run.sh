#!/usr/bin/env bash
# Builds and runs the main job on the embedded SQLite default: a demo database in ./demo,
# then its branches.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
demo="$root/demo"
mkdir -p "$demo/packets"
cli="$root/build/src/cli/svod-cli"
"$cli" --db "sqlite:$demo/svod.db" init-db --demo "$demo/packets"
"$cli" --db "sqlite:$demo/svod.db" sql "select KOD, NAZVANIE from FILIALS order by KOD"
