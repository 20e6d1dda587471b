#!/usr/bin/env bash
# Opens every export format of a multi-page report with Cyrillic text in LibreOffice (headless, to
# PDF) and checks that the text comes through; our own PDF is read with pdftotext alone. Not part of
# CI: it needs LibreOffice (scripts/install-deps.sh --bench).
# Usage: scripts/check-exports-libreoffice.sh BUILD_DIR   (BUILD_DIR has bench/report_bench built)
# Prints one line per format and exits non-zero when any format fails.
set -uo pipefail
build=${1:?usage: scripts/check-exports-libreoffice.sh BUILD_DIR}
bin="$build/bench/report_bench"
rows=500
title_word="Оборотная"

if [[ ! -x "$bin" ]]; then
  echo "no $bin: cmake --build $build --target report_bench" >&2
  exit 2
fi
if ! command -v soffice >/dev/null; then
  echo "soffice is missing: scripts/install-deps.sh --bench" >&2
  exit 2
fi
if ! command -v pdftotext >/dev/null; then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    poppler-utils >/dev/null || { echo "cannot install poppler-utils" >&2; exit 2; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private profile: LibreOffice refuses a shared one as root and would hand the job to another
# running instance.
profile="-env:UserInstallation=file://$work/profile"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

# Checks the text of a PDF: the report's title and every body text cell ("Текст R-C", 4 a row).
# Prints what is missing; silent when all is there.
check_text() {
  local text
  text=$(pdftotext "$1" - 2>/dev/null) || { echo "pdftotext cannot read the PDF"; return; }
  local cells
  cells=$(grep -o 'Текст [0-9]*-[0-9]*' <<<"$text" | sort -u | wc -l)
  if ! grep -q "$title_word" <<<"$text"; then
    echo "no \"$title_word\" in the text (Cyrillic lost)"
  elif ((cells != rows * 4)); then
    echo "$cells of $((rows * 4)) body cells in the text"
  fi
}

failures=0
report() { # FORMAT STATUS DETAIL
  echo "$1: $2 ($3)"
  if [[ $2 != OK ]]; then failures=$((failures + 1)); fi
}

for ext in pdf xlsx rtf html csv; do
  file="$work/report.$ext"
  if ! "$bin" "$rows" "$file" >"$work/$ext.bench" 2>"$work/$ext.bench-err" || [[ ! -s "$file" ]]; then
    report "$ext" FAILED "report_bench: $(tail -n 1 "$work/$ext.bench-err")"
    continue
  fi
  pages=$(sed -n 's/.* pages=\([0-9]*\).*/\1/p' "$work/$ext.bench")
  if [[ $ext == pdf ]]; then
    pdf="$file"
    how="pdftotext, $pages pages"
  else
    # CSV carries neither its encoding nor its delimiter, and LibreOffice's headless import takes
    # Windows-1252 and "," whatever the file holds (a UTF-8 byte order mark too). The options say
    # what ours is, as a user does in the text import dialog: ";", '"' quotes, UTF-8 (76), line 1.
    filter=()
    if [[ $ext == csv ]]; then filter=(--infilter="CSV:59,34,76,1"); fi
    mkdir -p "$work/out-$ext"
    timeout 600 soffice "$profile" --headless "${filter[@]}" --convert-to pdf --outdir "$work/out-$ext" \
      "$file" >"$work/$ext.log" 2>&1
    status=$?
    pdf="$work/out-$ext/report.pdf"
    if ((status != 0)); then
      report "$ext" FAILED "soffice exit status $status: $(grep -v XDG_RUNTIME "$work/$ext.log" | tail -n 1)"
      continue
    fi
    if [[ ! -s "$pdf" ]]; then
      report "$ext" FAILED "soffice made no PDF: $(grep -v XDG_RUNTIME "$work/$ext.log" | tail -n 1)"
      continue
    fi
    how="LibreOffice, our $pages pages as $(pdfinfo "$pdf" 2>/dev/null | sed -n 's/^Pages: *//p') pages"
  fi
  missing=$(check_text "$pdf")
  if [[ -n $missing ]]; then
    report "$ext" FAILED "$how: $missing"
  else
    report "$ext" OK "$how: \"$title_word\" and all $((rows * 4)) body text cells found"
  fi
done
exit $((failures > 0))
