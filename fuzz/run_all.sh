#!/usr/bin/env bash
# Repeatable libFuzzer run of every fuzz target: fixed seed and run count, on a temporary
# copy of the seed corpus (plus the example job documents for the reader and the whole-document
# target). Any finding (crash, sanitizer report, time-out, memory blow-up) fails the run and
# leaves the input in BUILD_DIR/fuzz-findings/. Usage: fuzz/run_all.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: fuzz/run_all.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
SEED=${FUZZ_SEED:-20260101}
MAX_TIME=${FUZZ_MAX_TIME:-180}   # safety cap per target, in seconds
FINDINGS=$BUILD/fuzz-findings

declare -A RUNS=(
  [fuzz_parse]=${FUZZ_RUNS_PARSE:-${FUZZ_RUNS:-150000}}
  [fuzz_script]=${FUZZ_RUNS_SCRIPT:-${FUZZ_RUNS:-300000}}
  [fuzz_document]=${FUZZ_RUNS_DOCUMENT:-${FUZZ_RUNS:-8000}}
)

status=0
for target in fuzz_parse fuzz_script fuzz_document; do
  exe="$BUILD/fuzz/$target"
  if [[ ! -x "$exe" ]]; then
    echo "missing $exe: build the fuzz preset first" >&2
    exit 2
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  if [[ -d fuzz/corpus/$target ]]; then
    cp fuzz/corpus/$target/* "$work"/
  fi
  if [[ $target == fuzz_parse || $target == fuzz_document ]]; then
    cp examples/*.json "$work"/ 2>/dev/null || true
  fi
  mkdir -p "$FINDINGS"
  echo "== $target: seed $SEED, ${RUNS[$target]} runs"
  start=$SECONDS
  if ! "$exe" -seed="$SEED" -runs="${RUNS[$target]}" -max_total_time="$MAX_TIME" \
      -max_len=16384 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$FINDINGS/$target-" "$work" > "$work.log" 2>&1; then
    tail -n 60 "$work.log"
    echo "== $target: FINDING (input saved under $FINDINGS)" >&2
    status=1
  else
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|cov:' "$work.log" | tail -n 3
    echo "== $target: clean in $((SECONDS - start)) s"
  fi
  rm -rf "$work" "$work.log"
  trap - EXIT
done
exit $status
