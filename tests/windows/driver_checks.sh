#!/usr/bin/env bash
# The Windows programs against the kernel-mode emulated driver velk_502.sys under Wine: the
# situations of a run with qx17_701.exe and qx17_emu.exe (console bytes, exit code, page after),
# then random fault schedules compared between the Linux and the Windows qx17_emu.
# Called by run_under_wine.sh inside its prefix; a driver lives only as long as the Wine session,
# so the server is kept alive for the whole script.
set -euo pipefail
cd "$(dirname "$0")/../.."

win=build/windows
linux=build/default
schedules=${SCHEDULES:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Persistent, so the driver outlives each program; fails harmlessly when the server already is.
timeout 60 wineserver -p || true
printf '\n' >"$work/line"
failures=0

fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# The page every emulated instrument starts with (byte at address a is 255 - a), and after a clean
# run.
page_bytes() {
  local a escaped=""
  for ((a = 0; a < 256; a++)); do
    local b=$((255 - a))
    [ "$a" -eq 32 ] && [ "$1" = written ] && b=$((0x55))
    [ "$a" -eq 33 ] && [ "$1" = written ] && b=0
    escaped+=$(printf '\\x%02x' "$b")
  done
  printf '%b' "$escaped"
}
page_bytes default >"$work/page_default"
page_bytes written >"$work/page_written"

state() { timeout 60 wine "$win/velk_502_state.exe" "$@" >"$work/state.out" 2>&1 || {
  cat "$work/state.out"
  return 1
}; }

# name | options | expected console (printf %b) | page afterwards: default, written or none
rows=(
  "everything succeeds||\\r\\nReading QX17...OK!\\r\\nWriting QX17...OK!\\r\\nPress any key...\\r\\n|written"
  "no port driver|--no-driver|\\r\\nReading QX17... Data format not supported!\\r\\nPress any key...\\r\\n|none"
  "block read fails with status 1|--status 6=1|\\r\\nReading QX17... Signal not found!\\r\\nPress any key...\\r\\n|default"
  "first write fails with 2, retry succeeds|--status 20=2|\\r\\nReading QX17...OK!\\r\\nWriting QX17...OK!\\r\\nPress any key...\\r\\n|written"
  "both writes fail, the second with 3|--status 20=2 --status 34=3|\\r\\nReading QX17...OK!\\r\\nWriting QX17... LPT Port error!\\r\\nPress any key...\\r\\n|written"
  "block read call refused|--refuse 7|\\r\\nReading QX17... LPT Port error!\\r\\nPress any key...\\r\\n|default"
)

check_run() {
  local what=$1 code=$2 expected=$3 page=$4 page_file=$5
  printf '%b' "$expected" >"$work/expected"
  if [ "$code" -ne 0 ]; then
    fail "$what: exit code $code"
  elif ! cmp -s "$work/out" "$work/expected"; then
    fail "$what: console bytes differ"
    od -c "$work/out"
  elif [ "$page" != none ] && ! cmp -s "$page_file" "$work/page_$page"; then
    fail "$what: page afterwards differs"
  else
    echo "PASS $what"
  fi
}

for row in "${rows[@]}"; do
  IFS='|' read -r name options expected page <<<"$row"
  # shellcheck disable=SC2086 # options are words
  state configure $options || fail "$name: cannot set up the driver"
  code=0
  timeout 60 wine "$win/qx17_701.exe" <"$work/line" >"$work/out" 2>"$work/err" || code=$?
  [ "$page" = none ] || state page "$work/page_after" || fail "$name: cannot read the page"
  check_run "qx17_701.exe, $name" "$code" "$expected" "$page" "$work/page_after"

  code=0
  # shellcheck disable=SC2086
  timeout 60 wine "$win/qx17_emu.exe" $options --quiet --memory-out "$work/page_emu" \
    <"$work/line" >"$work/out" 2>"$work/err" || code=$?
  check_run "qx17_emu.exe, $name" "$code" "$expected" "$page" "$work/page_emu"
done

# Random fault schedules, the same options and page for both: same console bytes, same exit
# code, same page afterwards.
RANDOM=20261211
statuses=(1 2 3 5 37 255 0)
start=$(date +%s)
differ=0
for ((n = 1; n <= schedules; n++)); do
  escaped=""
  for ((a = 0; a < 256; a++)); do escaped+=$(printf '\\x%02x' $((RANDOM % 256))); done
  printf '%b' "$escaped" >"$work/page_in"
  options=(--quiet --memory-in "$work/page_in")
  used=" "
  for ((k = RANDOM % 4; k > 0; k--)); do
    call=$((1 + RANDOM % 40))
    case "$used" in *" $call "*) continue ;; esac
    used+="$call "
    if ((RANDOM % 5 == 0)); then
      options+=(--refuse "$call")
    else
      options+=(--status "$call=${statuses[RANDOM % ${#statuses[@]}]}")
    fi
  done
  case $((RANDOM % 20)) in
    0) options+=(--no-driver) ;;
    1) options+=(--data-format 0x0906) ;;
    2) options+=(--driver-version 5.1) ;;
  esac
  linux_code=0
  "$linux/qx17_emu" "${options[@]}" --memory-out "$work/page_linux" <"$work/line" \
    >"$work/out_linux" 2>"$work/err_linux" || linux_code=$?
  windows_code=0
  timeout 60 wine "$win/qx17_emu.exe" "${options[@]}" --memory-out "$work/page_windows" \
    <"$work/line" >"$work/out_windows" 2>"$work/err_windows" || windows_code=$?
  if [ "$linux_code" -ne "$windows_code" ] || ! cmp -s "$work/out_linux" "$work/out_windows" ||
    ! cmp -s "$work/page_linux" "$work/page_windows"; then
    differ=$((differ + 1))
    echo "DIFFER: ${options[*]} (exit codes $linux_code and $windows_code)"
    cat "$work/err_windows"
  fi
done
if [ "$differ" -eq 0 ]; then
  echo "PASS $schedules random fault schedules alike on Linux and Windows ($(($(date +%s) - start)) s)"
else
  fail "$differ of $schedules random fault schedules differ between Linux and Windows"
fi

echo "$failures failed of the driver checks"
[ "$failures" -eq 0 ]
