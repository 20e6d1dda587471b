#!/usr/bin/env bash
# Builds and runs the main job on the embedded SQLite default with a demo database in ./demo:
# the desktop program when a display is available, otherwise a headless demo with svod-cli.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
demo="$root/demo"
mkdir -p "$demo/packets"
cli="$root/build/src/cli/svod-cli"
"$cli" --db "sqlite:$demo/svod.db" init-db --demo "$demo/packets"
ini="$demo/pr_vt.ini"
if [[ ! -f "$ini" ]]; then
  printf '[connect]\r\nstring=sqlite:%s\r\n[PATH]\r\nin_dir=%s\r\n[setup]\r\ndontlogindialog=1\r\n' \
    "$demo/svod.db" "$demo/packets" > "$ini"
fi
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/build/src/app/svod" --ini "$ini"
fi
echo "No display: headless demo."
"$cli" --ini "$ini" sql "select KOD, NAZVANIE from FILIALS order by KOD"
# Each sample packet once: a branch already accepted is skipped on later runs.
for packet in "$demo"/packets/A*.dbf; do
  code=$(basename "$packet" | cut -c2-3)
  if [[ -z $("$cli" --ini "$ini" sql "select KOD_F from INV where KOD_F = '$code' limit 1" | tail -n +2) ]]; then
    "$cli" --ini "$ini" receive "$packet" --yes || true
  fi
done
"$cli" --ini "$ini" report list
report_id=$("$cli" --ini "$ini" report list | grep ';Остатки по филиалам на дату$' | cut -d';' -f1)
"$cli" --ini "$ini" report run "$report_id" --out "$demo/balances.pdf"
echo "Report written to $demo/balances.pdf"
