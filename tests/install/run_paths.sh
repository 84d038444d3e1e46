#!/usr/bin/env bash
# run_paths.sh DIR...: fails when an ELF program or library under a DIR has a
# run path (RPATH or RUNPATH) with an empty entry, or with an entry that is
# neither absolute nor $ORIGIN-relative. The loader reads either as a folder
# relative to the current one, so a program started inside a folder of
# downloaded files could load a library planted there.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: run_paths.sh DIR..." >&2; exit 2; }
status=0
for dir in "$@"; do
  checked=0
  while IFS= read -r -d '' file; do
    [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ] || continue
    checked=$((checked + 1))
    while IFS= read -r path; do
      bad=""
      case "$path" in "" | :* | *: | *::*) bad="an empty entry" ;; esac
      IFS=: read -ra entries <<<"$path"
      for entry in "${entries[@]}"; do
        case "$entry" in /* | '$ORIGIN' | '$ORIGIN/'*) ;; *) bad="the relative entry '$entry'" ;; esac
      done
      if [ -n "$bad" ]; then
        echo "run path of $file has $bad: [$path]" >&2
        status=1
      fi
    done < <(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
  done < <(find "$dir" -type f ! -name '*.o' ! -name '*.a' -print0)
  if [ "$checked" -eq 0 ]; then
    echo "no ELF files under $dir" >&2
    status=1
  fi
  echo "run paths: $checked ELF files under $dir"
done
exit $status
