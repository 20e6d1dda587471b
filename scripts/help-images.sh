#!/usr/bin/env bash
# Renews the pictures of the help from the screenshot tool: takes the screenshots offscreen and
# copies those the help pages show into src/app/help/images.
# Usage: scripts/help-images.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
"$root/scripts/screenshots.sh" "$build" "$shots" >/dev/null 2>&1
help="$root/src/app/help"
for image in $(grep -ohE 'src="images/[^"]+"' "$help"/*.html | sed -E 's/src="images\/(.*)"/\1/' | sort -u); do
  if [[ -f "$shots/$image" ]]; then
    cp "$shots/$image" "$help/images/$image"
    echo "images/$image"
  else
    echo "the screenshot tool made no $image" >&2
  fi
done
