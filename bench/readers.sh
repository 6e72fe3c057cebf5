#!/usr/bin/env bash
# Compares the two store readers (native, libpff) and readpst on random mailboxes made by storegen
# (seed 1): the time to the first folders listed, info, scan, the bare walk under the scan, convert,
# and readpst writing every item; wall time, CPU time and peak memory of each, the files written,
# and the ratios the targets speak of. Prints one markdown table per store.
#
# Usage: bench/readers.sh BUILD_DIR N [N ...]
# Environment:
#   FORMATS="unicode 4k"  store formats (default: unicode)
#   OUT=DIR               where the runs write (default: BUILD_DIR/bench-readers); every run
#                         writes into a new folder OUT/run-*, deleted at the end unless KEEP=1,
#                         and leaves its tables in OUT/run-*.md
#   STORES=DIR            where stores are kept and reused: rN.ost (Unicode), rN-FORMAT.ost
#                         (default: OUT/stores)
#   LIBPFF_MAX=N          the largest store libpff reads (default 100000: its open alone takes
#                         minutes there, and grows faster than the store)
#   READPST_MAX=N         the largest store readpst reads (default: every store)
#   CONVERT_FOLDER=PATH   convert only this folder and those below it (ost2eml --folder)
# A step whose output would not fit on the disk (with 2 GB to spare) is skipped and says so.
set -euo pipefail

if (($# < 2)); then
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
  exit 1
fi
build=$1
shift
counts=("$@")
storegen="$build/tools/storegen/storegen"
ost2eml="$build/src/cli/ost2eml"
openfirst="$build/bench/open_first_folder"
barewalk="$build/bench/bare_walk"
for tool in "$storegen" "$ost2eml" "$openfirst" "$barewalk"; do
  [[ -x $tool ]] || { echo "not built: $tool" >&2; exit 1; }
done
command -v readpst >/dev/null || { echo "readpst is missing (Debian package pst-utils)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 1; }

out=${OUT:-$build/bench-readers}
stores=${STORES:-$out/stores}
libpffMax=${LIBPFF_MAX:-100000}
readpstMax=${READPST_MAX:-}
convertFolder=${CONVERT_FOLDER:-}
mkdir -p "$out" "$stores"
run=$(mktemp -d "$out/run-$(date +%Y%m%d-%H%M%S).XXXX")
if [[ -z ${KEEP:-} ]]; then
  trap 'rm -rf "$run"' EXIT
fi
report="$run.md"
hz=$(getconf CLK_TCK)

say() { printf '%s\n' "$*" | tee -a "$report"; }
gib() { awk -v b="$1" 'BEGIN {printf "%.1f", b / 1073741824}'; }
freeBytes() { df -B1 --output=avail "$1" | tail -1; }
# Busy CPU time of the whole machine so far, in clock ticks: what ran beside a measurement is
# this difference less the measurement's own CPU time.
busyTicks() { awk '/^cpu / {print $2 + $3 + $4 + $7 + $8 + $9; exit}' /proc/stat; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "" || b == "" || b + 0 <= 0) print "-"; else printf "%.2f", a / b}'; }

# fits BYTES: whether BYTES more fit on the output's disk with 2 GB to spare.
fits() { (($(freeBytes "$run") > $1 + 2147483648)); }

# measure NAME COMMAND...: runs COMMAND and keeps "wall cpu rss_kb exit other_cpu" in $res/NAME,
# its output in $res/NAME.out (discard=1: thrown away) and .err.
measure() {
  local name=$1
  shift
  local before after
  before=$(busyTicks)
  local stdout="$res/$name.out"
  [[ -n ${discard:-} ]] && stdout=/dev/null
  /usr/bin/time -o "$res/$name.time" -f "%e %U %S %M %x" "$@" >"$stdout" 2>"$res/$name.err" || true
  after=$(busyTicks)
  awk -v busy=$((after - before)) -v hz="$hz" '
    /^Command (exited|terminated)/ {next}
    {cpu = $2 + $3; other = busy / hz - cpu; if (other < 0) other = 0
     printf "%s %.2f %s %s %.1f\n", $1, cpu, $4, $5, other}' "$res/$name.time" >"$res/$name"
}
field() { [[ -s $res/$1 ]] && awk -v f="$2" '{print $f}' "$res/$1" || true; }
countFiles() { find "$1" -type f -name "*.$2" 2>/dev/null | wc -l; }
mails() { [[ -d $res/out-$1 ]] && countFiles "$res/out-$1" eml || echo "-"; }

# row NAME LABEL NOTE: one table row from a measurement, or a row saying why it was skipped.
row() {
  local name=$1 label=$2 note=$3
  if [[ -s $res/$name ]]; then
    read -r wall cpu rss code other <"$res/$name"
    printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$label" "$wall" "$cpu" \
      "$(awk -v k="$rss" 'BEGIN {printf "%.1f", k / 1024}')" "$code" "$other" "$note" | tee -a "$report"
  else
    printf '| %s | - | - | - | - | - | %s |\n' "$label" "$note" | tee -a "$report"
  fi
}

# What was measured: the build's sources, and their commit when they are a checkout.
sources=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
commit=$(git -C "${sources:-/nonexistent}" rev-parse --short HEAD 2>/dev/null || echo "not a git checkout")
if [[ $commit != "not a git checkout" ]] &&
  [[ -n $(git -C "$sources" status --porcelain --untracked-files=no 2>/dev/null) ]]; then
  commit+=" with local changes"
fi
say "# Store readers compared ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores)"
say ""
say "Build: $build, sources ${sources:-unknown} ($commit)."
say ""
say "Other CPU s: the CPU time the rest of the machine used during the run; near 0 on a quiet"
say "machine, near the wall time when something else keeps a core busy."

for n in "${counts[@]}"; do
  for format in ${FORMATS:-unicode}; do
    suffix=-$format
    [[ $format == unicode ]] && suffix=
    store="$stores/r$n$suffix.ost"
    res="$run/$n$suffix"
    mkdir -p "$res"
    say ""
    say "## $n messages, $format"
    say ""
    if [[ ! -s $store ]]; then
      if ! fits $((n * 34000)); then
        say "No room for the store $store ($(gib $((n * 34000))) GB needed, $(gib "$(freeBytes "$stores")") GB free)."
        continue
      fi
      measure storegen "$storegen" --random --messages "$n" --seed 1 --format "$format" -o "$store.part"
      mv "$store.part" "$store"
      say "Store written: $store in $(field storegen 1) s."
    fi
    size=$(stat -c %s "$store")
    # Every run reads the store from memory when it fits, so that the first run pays no more
    # than the others; a store larger than memory is read from disk by every run.
    available=$(awk '/^MemAvailable:/ {printf "%.0f", $2 * 1024}' /proc/meminfo)
    if ((size < available / 2)); then
      cat "$store" >/dev/null
      cache="read from the page cache"
    else
      cache="larger than half the free memory: read from disk"
    fi
    say "Store: $store, $(gib "$size") GB, $cache. Load before: $(cut -d' ' -f1-3 /proc/loadavg)."
    say ""
    say "| run | wall s | CPU s | peak RSS MB | exit | other CPU s | result |"
    say "|---|---|---|---|---|---|---|"

    folderArgs=()
    [[ -n $convertFolder ]] && folderArgs=(--folder "$convertFolder")
    readers=(native)
    ((n <= libpffMax)) && readers+=(libpff)
    for reader in native libpff; do
      if [[ " ${readers[*]} " != *" $reader "* ]]; then
        for step in "open to first folder" info scan convert; do
          row none "$step ($reader)" "skipped: $n > LIBPFF_MAX=$libpffMax"
        done
        continue
      fi
      measure "open-$reader" "$openfirst" "$store" --reader "$reader"
      listed=$(awk '/^listed after:/ {print $3}' "$res/open-$reader.out")
      row "open-$reader" "open to first folder ($reader)" "listed after ${listed:--} ms"
      measure "info-$reader" "$ost2eml" info --reader "$reader" "$store"
      row "info-$reader" "info ($reader)" "$(grep -o 'Messages: [0-9]*' "$res/info-$reader.out" || echo "see $res/info-$reader.err")"
      if fits $((size / 2)); then
        discard=1 measure "scan-$reader" "$ost2eml" scan --reader "$reader" --attachments "$res/out-scan-$reader" "$store"
        row "scan-$reader" "scan ($reader) > /dev/null" "$(find "$res/out-scan-$reader" -type f | wc -l) attachment files"
      else
        row none "scan ($reader)" "skipped: the attachments would not fit"
      fi
      if [[ -n $convertFolder ]] || fits $((size * 11 / 10)); then
        measure "convert-$reader" "$ost2eml" convert --reader "$reader" "${folderArgs[@]}" "$store" "$res/out-convert-$reader"
        row "convert-$reader" "convert ($reader)${convertFolder:+ --folder $convertFolder}" \
          "$(countFiles "$res/out-convert-$reader" eml) .eml"
      else
        row none "convert ($reader)" "skipped: needs ~$(gib $((size * 11 / 10))) GB, $(gib "$(freeBytes "$run")") GB free"
      fi
    done
    # The floor under the scan: the same reads through the store layer, nothing kept.
    measure bare "$barewalk" "$store"
    row bare "bare walk (native)" "$(cat "$res/bare.out")"

    for jobs in 0 default; do
      jobArgs=()
      [[ $jobs == 0 ]] && jobArgs=(-j 0)
      label="readpst -D -e ${jobArgs[*]}${jobArgs[*]:+ }-q"
      if [[ -n $readpstMax ]] && ((n > readpstMax)); then
        row none "$label" "skipped: $n > READPST_MAX=$readpstMax"
      elif fits $((size * 12 / 10)); then
        mkdir -p "$res/out-readpst-$jobs"
        measure "readpst-$jobs" readpst -D -e "${jobArgs[@]}" -q -o "$res/out-readpst-$jobs" "$store"
        # When readpst's parallel mode dies, its workers go on writing on their own; they are
        # waited for (not timed) so that the count is complete and the next run has the machine.
        while pgrep -f -- "-o $res/out-readpst-$jobs " >/dev/null; do sleep 1; done
        failure=
        if [[ $(field "readpst-$jobs" 4) != 0 ]]; then
          failure="; readpst failed: $(grep -v '^Command ' "$res/readpst-$jobs.err" | head -1)"
        fi
        row "readpst-$jobs" "$label" "$(countFiles "$res/out-readpst-$jobs" eml) .eml, $(countFiles "$res/out-readpst-$jobs" vcf) .vcf, $(countFiles "$res/out-readpst-$jobs" ics) .ics, $(($(find "$res/out-readpst-$jobs" -type f | wc -l) - $(find "$res/out-readpst-$jobs" -type f \( -name '*.eml' -o -name '*.vcf' -o -name '*.ics' \) | wc -l))) other$failure"
      else
        row none "$label" "skipped: needs ~$(gib $((size * 12 / 10))) GB, $(gib "$(freeBytes "$run")") GB free"
      fi
    done

    say ""
    say "- first folder listed, libpff / native: $(ratio "$(awk '/^listed after:/ {print $3}' "$res/open-libpff.out" 2>/dev/null)" "$(awk '/^listed after:/ {print $3}' "$res/open-native.out")") (native: $(awk '/^listed after:/ {print $3}' "$res/open-native.out") ms, target <= 5000)"
    say "- native index: $(awk '/^nodes:/ {n = $2} /^block-index/ {p = $4} /^open heap:/ {h = $3; b = $5} END {printf "%s nodes, %s block-index leaf pages, %s bytes allocated by the open = %s bytes per node", n, p, h, b}' "$res/open-native.out")"
    for step in info scan convert; do
      say "- $step wall, libpff / native: $(ratio "$(field "$step-libpff" 1)" "$(field "$step-native" 1)")"
    done
    say "- scan / bare walk (native, wall): $(ratio "$(field scan-native 1)" "$(field bare 1)") (target <= 1.25); scan memory beyond the bare walk: $(awk -v a="$(field scan-native 3)" -v b="$(field bare 3)" -v n="$n" 'BEGIN {if (a == "" || b == "") print "-"; else printf "%.0f", (a - b) * 1024 / n}') bytes per message"
    target=2
    ((n >= 100000)) && target=3
    say "- readpst -j 0 / convert (native, wall): $(ratio "$(field readpst-0 1)" "$(field convert-native 1)") (target >= $target); readpst default / convert: $(ratio "$(field readpst-default 1)" "$(field convert-native 1)")"
    say "- convert peak RSS (native): $(awk -v k="$(field convert-native 3)" 'BEGIN {if (k == "") print "-"; else printf "%.0f MB", k / 1024}') (target <= 1024 MB)"
    native=$(mails convert-native)
    libpff=$(mails convert-libpff)
    rp0=$(mails readpst-0)
    rpd=$(mails readpst-default)
    same="not compared"
    if [[ $native != - && $rp0 != - ]]; then
      same=different
      [[ $native == "$rp0" ]] && same=same
    fi
    say "- mails written: convert native $native, convert libpff $libpff, readpst -j 0 $rp0, readpst default $rpd; native vs readpst -j 0: $same"
  done
done
say ""
if [[ -z ${KEEP:-} ]]; then
  say "This table: $report. The files written: $run (deleted at exit; KEEP=1 keeps them)."
else
  say "This table: $report. The files written: $run."
fi
