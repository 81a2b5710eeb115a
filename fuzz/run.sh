#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a bounded time.
#   bash fuzz/run.sh [seconds per target, default 20]
# FUZZ_OUT: folder for the binaries, working corpora and crash files (default:
# a temporary folder, removed unless a target failed).
set -euo pipefail

seconds="${1:-20}"
case "$seconds" in
  '' | *[!0-9]*) echo "fuzz: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"

cxx="${FUZZ_CXX:-}"
if [ -z "$cxx" ]; then
  for candidate in clang++-14 clang++; do
    if command -v "$candidate" > /dev/null 2>&1; then cxx="$candidate"; break; fi
  done
fi
if [ -z "$cxx" ]; then
  echo "fuzz: clang++ not found (Debian package clang-14)" >&2
  exit 1
fi

if [ -n "${FUZZ_OUT:-}" ]; then
  out="$FUZZ_OUT"
  mkdir -p "$out"
  keep=1
else
  out="$(mktemp -d "${TMPDIR:-/tmp}/korvane-fuzz-XXXXXX")"
  keep=0
fi
failed=0
cleanup() {
  if [ "$keep" = 0 ] && [ "$failed" = 0 ]; then rm -rf "$out"; fi
}
trap cleanup EXIT

flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I "$root/src")

# What the readers of outside text stand on.
text_sources="src/app/profile_file.cpp src/app/bounded_file.cpp src/app/document_settings.cpp src/app/text_helpers.cpp src/platform/mount_table.cpp src/platform/percent_escapes.cpp src/platform/volumes.cpp src/platform/volume_probe.cpp -lblkid"
document_sources="$text_sources $(cd "$root" && ls src/catalogue/*.cpp src/query/*.cpp src/result/*.cpp src/schedule/schedule_file.cpp src/schedule/schedule_commands.cpp src/schedule/script_line_head.cpp src/app/formatting.cpp src/app/user_interface.cpp src/app/event_log.cpp src/platform/directory_reader.cpp | tr '\n' ' ') -lsqlite3 -lpq"

# target name, then the sources it needs besides its own file
targets=(
  "list_line:src/scan/ftp/ftp_list_parser.cpp"
  "reply_reader:src/scan/ftp/ftp_reply_reader.cpp"
  "jet_plan:src/catalogue/jet_sql.cpp src/catalogue/jet_where_plan.cpp src/catalogue/jet_like.cpp src/catalogue/day_number.cpp src/catalogue/jet_sql_postgres.cpp src/catalogue/jet_like_regex.cpp src/catalogue/pg_text.cpp src/catalogue/schema.cpp src/catalogue/schema_postgres.cpp src/catalogue/database_files.cpp src/catalogue/fetch_templates.cpp src/catalogue/sql_statement.cpp src/catalogue/field_value.cpp src/catalogue/pg_connection.cpp src/catalogue/server_schema.cpp $text_sources -lsqlite3 -lpq"
  "profile_file:$text_sources"
  "split_tokens:$text_sources"
  "script_line:src/schedule/script/script_tokens.cpp"
  "document_file:$document_sources"
)

# Each source is compiled once per run (through ccache when there is one, so
# a later run on the same machine reuses the objects) and shared by every
# target that needs it.
launcher=()
command -v ccache > /dev/null 2>&1 && launcher=(ccache)
compile_flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined
               -fno-sanitize-recover=all -I "$root/src" -I /usr/include/postgresql)
object_of() {
  local source="$1" object
  object="$out/obj/${source//\//_}.o"
  if [ ! -f "$object" ]; then
    mkdir -p "$out/obj"
    "${launcher[@]}" "$cxx" "${compile_flags[@]}" -c "$root/$source" -o "$object" || return 1
  fi
  echo "$object"
}

passed=0
for entry in "${targets[@]}"; do
  name="${entry%%:*}"
  binary="$out/${name}_fuzzer"
  echo "fuzz: building $name"
  inputs=()
  built=1
  IFS=' ' read -r -a extra <<< "fuzz/${name}_fuzzer.cpp ${entry#*:}"
  for source in "${extra[@]}"; do
    case "$source" in
      -l*) inputs+=("$source") ;;
      *) if object=$(object_of "$source"); then inputs+=("$object"); else built=0; fi ;;
    esac
  done
  if [ "$built" = 0 ] || ! "$cxx" "${flags[@]}" "${inputs[@]}" -o "$binary"; then
    echo "fuzz: $name did not build" >&2
    failed=1
    continue
  fi
  corpus="$out/corpus-$name"
  mkdir -p "$corpus" "$out/crashes-$name"
  if [ -d "$here/corpus/$name" ]; then cp "$here/corpus/$name"/* "$corpus"/ 2> /dev/null || true; fi
  echo "fuzz: running $name for ${seconds}s"
  if UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$binary" "$corpus" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$out/crashes-$name/" -print_final_stats=1 > "$out/$name.log" 2>&1; then
    tail -n 12 "$out/$name.log" | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' || true
    echo "fuzz: $name clean"
    passed=$((passed + 1))
  else
    echo "fuzz: $name FAILED; log and crash input in $out" >&2
    tail -n 60 "$out/$name.log" >&2
    for crash in "$out/crashes-$name"/*; do
      [ -f "$crash" ] && { echo "crash input $crash:" >&2; od -A d -c "$crash" | head -n 20 >&2; }
    done
    failed=1
  fi
done

echo "fuzz: $passed passed, $(( ${#targets[@]} - passed )) failed"
exit "$failed"
