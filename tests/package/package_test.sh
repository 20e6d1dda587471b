#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a temporary root with dpkg -x
# and uses it from there: the control fields, the desktop entry, the help's links, the man page,
# svod-cli --help and a headless demo (demo database, a sample packet received, a report to PDF).
# Usage: tests/package/package_test.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: package_test.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/svod_*_*.deb 2>/dev/null | head -n 1)
[[ -n $deb ]] || fail "no svod_<version>_<arch>.deb in $(ls "$work/out")"
[[ $(basename "$deb") =~ ^svod_[0-9]+\.[0-9]+_[a-z0-9]+\.deb$ ]] || fail "package name $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6sql6 libqt6sql6-sqlite fonts-liberation2 qt6-translations-l10n; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/svod usr/bin/svod-cli usr/share/applications/svod.desktop \
  usr/share/icons/hicolor/scalable/apps/svod.svg usr/share/man/man1/svod-cli.1.gz \
  usr/share/svod/help/index.html; do
  [[ -s "$root/$f" ]] || fail "$f missing from the package"
done
ls "$root"/usr/share/svod/demo/templates/*.frf >/dev/null || fail "no demo templates"
ls "$root"/usr/share/svod/demo/packets/A*.dbf >/dev/null || fail "no sample packets"

desktop="$root/usr/share/applications/svod.desktop"
grep -qx 'Exec=svod' "$desktop" || fail "desktop entry does not start svod"
grep -qx 'Icon=svod' "$desktop" || fail "desktop entry names no icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
zcat "$root/usr/share/man/man1/svod-cli.1.gz" | grep -q '^\.TH SVOD-CLI 1' || fail "man page header"

# Every link of the help names a file of the package (anchors and outside addresses aside).
help="$root/usr/share/svod/help"
broken=0
for page in "$help"/*.html; do
  while IFS= read -r target; do
    file=${target%%#*}
    [[ -z $file || $file == http:* || $file == https:* || $file == mailto:* ]] && continue
    if [[ ! -f "$help/$file" ]]; then
      echo "broken link in $(basename "$page"): $target" >&2
      broken=1
    fi
  done < <(grep -oE '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="(.*)"$/\2/')
done
((broken == 0)) || fail "broken help links"

cli="$root/usr/bin/svod-cli"
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"
"$cli" --help >"$work/help.txt" 2>"$work/help.err" || fail "svod-cli --help exit status"
grep -q 'usage: svod-cli' "$work/help.txt" || fail "svod-cli --help says: $(cat "$work/help.txt")"
[[ ! -s "$work/help.err" ]] || fail "svod-cli --help wrote to standard error: $(cat "$work/help.err")"

db="sqlite:$work/demo.db"
"$cli" --db "$db" init-db --demo "$work/packets" >/dev/null || fail "init-db --demo"
cp "$root"/usr/share/svod/demo/packets/*.dbf "$work/packets/" 2>/dev/null || true
packet=$(ls "$work"/packets/A*.dbf | head -n 1)
"$cli" --db "$db" receive "$packet" --yes >"$work/receive.txt" || { cat "$work/receive.txt"; fail "receive"; }
id=$("$cli" --db "$db" report list | grep ';Остатки по филиалам на дату$' | cut -d';' -f1)
[[ -n $id ]] || fail "demo report not listed"
"$cli" --db "$db" report run "$id" --out "$work/balances.pdf" >/dev/null || fail "report run"
[[ $(head -c 5 "$work/balances.pdf") == "%PDF-" ]] || fail "report is not a PDF"
echo "package OK: $(basename "$deb"), Depends: $depends"
