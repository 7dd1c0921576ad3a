#!/usr/bin/env bash
# Fails when a text of the sources has no finished translation: lupdate reads the sources into a
# copy of the committed .ts in a private folder (the committed file is never written), and any
# text the copy holds unfinished, new ones included, is named.
# Usage: check-finished.sh LUPDATE SOURCE_ROOT TS SOURCE...
set -euo pipefail
lupdate=$1 root=$2 ts=$3
shift 3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$ts" "$dir/check.ts"
# Headers are included by folder within their group, so each group is a root lupdate looks in:
# without the class's header a tr() falls into another context and reads as untranslated.
"$lupdate" -silent -no-obsolete -locations none -I "$root/shared" -I "$root/ruvela" -I "$root/sim" "$@" -ts "$dir/check.ts" 2>"$dir/lupdate.err" || {
  cat "$dir/lupdate.err" >&2
  exit 1
}
# Each unfinished message: its source text, the line before the translation's.
if grep -q 'type="unfinished"' "$dir/check.ts"; then
  unfinished=$(grep -B1 'type="unfinished"' "$dir/check.ts" | sed -n 's/^ *<source>\(.*\)<\/source>$/\1/p')
  echo "$(basename "$ts"): texts without a finished translation (add them with lupdate, translate them in Linguist):" >&2
  printf '  %s\n' "$unfinished" >&2
  exit 1
fi
echo "$(basename "$ts"): every text translated"
