#!/bin/bash
# A sweep ended by SIGTERM (exit 130) and one killed outright (SIGKILL, no
# chance to tidy up) both resume to the table of an uninterrupted sweep.
set -eu
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'iterations = 100\n[sweep]\nrows = [8, 9, 10, 11, 12]\ncols = 8\necosim-iterations = 200\n' >"$work/plan.toml"
run=("$cli" sweep "$work/plan.toml" --no-progress --threads 1 -o)
"${run[@]}" "$work/whole" 2>/dev/null && "$cli" merge "$work/whole" -o "$work/whole.tsv"
for signal in TERM KILL; do
  "${run[@]}" "$work/stopped" 2>"$work/stopped.err" &
  pid=$!
  for _ in $(seq 3000); do [ -n "$(ls "$work/stopped/studies" 2>/dev/null)" ] && break; sleep 0.01; done
  kill -$signal $pid && status=0 && wait $pid || status=$?
  [ $signal = KILL ] || [ $status = 130 ] || { echo "SIGTERM: exit $status"; cat "$work/stopped.err"; exit 1; }
  [ -z "$(ls -A "$work/stopped/studies" | grep '^\.partial-' || true)" ] || [ $signal = KILL ]
done
"${run[@]}" "$work/stopped" 2>/dev/null && "$cli" merge "$work/stopped" -o "$work/stopped.tsv"
cmp "$work/whole.tsv" "$work/stopped.tsv"
[ -z "$(ls -A "$work/stopped/studies" | grep '^\.partial-' || true)" ]
