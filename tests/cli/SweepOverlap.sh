#!/bin/bash
# Runs of one sweep that overlap never damage each other: the same command
# twice, overlapping shards, two runs publishing the same study, and two plans
# prepared on one new folder. Each case holds a real process between writing
# its study and publishing it (TESSIL_SWEEP_HOLD) and starts the other inside
# that window; every sweep must still merge to the table of a lone run.
set -eu
cli=$1
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/*.err; do [ -f "$log" ] && { echo "-- $log" >&2; cat "$log" >&2; }; done
  exit 1
}
printf 'iterations = 100\n[sweep]\nrows = [4, 5, 6, 7]\ncols = 4\necosim-iterations = 20\n' >"$work/plan.toml"
printf 'iterations = 100\n[sweep]\nrows = [8, 9]\ncols = 4\necosim-iterations = 20\n' >"$work/other.toml"
sweep=("$cli" sweep "$work/plan.toml" --no-progress --threads 1)
"${sweep[@]}" -o "$work/lone" 2>"$work/lone.err" && "$cli" merge "$work/lone" -o "$work/lone.tsv" 2>>"$work/lone.err" ||
  fail "the lone sweep"

# Starts "$@" held at POINT with its hold folder $work/NAME, in the
# background, and waits until it is held; its pid is left in $held_pid.
start_held() {
  local name=$1 point=$2
  shift 2
  mkdir -p "$work/$name"
  TESSIL_SWEEP_HOLD="$point:$work/$name" "$@" 2>"$work/$name.err" &
  held_pid=$!
  pids+=("$held_pid")
  for _ in $(seq 2000); do [ -f "$work/$name/held" ] && return 0; sleep 0.01; done
  fail "$name was never held at $point"
}
# Releases the run held in $work/NAME and waits for it; fails unless it ends
# with the status given.
release() {
  local name=$1 pid=$2 expected=$3 status=0
  touch "$work/$name/go"
  wait "$pid" || status=$?
  [ "$status" = "$expected" ] || fail "$name ended with status $status, not $expected"
}
# The folder merges to the lone run's table and holds nothing but studies.
check_folder() {
  local dir=$1
  "$cli" merge "$dir" -o "$dir.tsv" 2>"$dir.merge.err" || fail "merging $dir"
  cmp -s "$work/lone.tsv" "$dir.tsv" || fail "$dir does not merge to the lone run's table"
  local extra
  extra=$(ls -A "$dir/studies" | grep -v '^[0-9a-f]\{16\}$' || true)
  [ -z "$extra" ] || fail "$dir/studies holds $extra"
  for study in "$dir"/studies/*/; do
    [ "$(ls -A "$study" | grep -c .)" = 6 ] || fail "$study is not whole: $(ls -A "$study")"
  done
}

# The same command twice: the second runs the whole sweep while the first
# waits to publish its first study, which the second has then published.
start_held twice-a publish "${sweep[@]}" -o "$work/twice"
a=$held_pid
"${sweep[@]}" -o "$work/twice" 2>"$work/twice-b.err" || fail "the second run of the same command"
release twice-a "$a" 0
grep -q "finished by another run at the same time" "$work/twice-a.err" || fail "the first run did not see the other's study"
check_folder "$work/twice"

# Overlapping shards: 0/2 waits to publish study 0 while 0/3 runs it too.
start_held shards-a publish "${sweep[@]}" -o "$work/shards" --shard 0/2
a=$held_pid
"${sweep[@]}" -o "$work/shards" --shard 0/3 2>"$work/shards-b.err" || fail "shard 0/3 beside shard 0/2"
release shards-a "$a" 0
for shard in 1/2 1/3 2/3; do "${sweep[@]}" -o "$work/shards" --shard $shard 2>>"$work/shards-b.err"; done
check_folder "$work/shards"

# A resubmission while the first run's task still runs: both hold the same
# study written; the later one publishes first, the earlier one after it.
start_held again-a publish "${sweep[@]}" -o "$work/again" --shard 0/4
a=$held_pid
start_held again-b publish "${sweep[@]}" -o "$work/again" --shard 0/4
b=$held_pid
release again-b "$b" 0
release again-a "$a" 0
for shard in 1/4 2/4 3/4; do "${sweep[@]}" -o "$work/again" --shard $shard 2>>"$work/again-b.err"; done
check_folder "$work/again"

# Two plans prepared on one new folder at once: both pass the first look,
# one is ready and the other refused, and the folder is the ready one's.
start_held plan-a prepare "$cli" sweep "$work/plan.toml" -o "$work/two" --prepare
a=$held_pid
start_held plan-b prepare "$cli" sweep "$work/other.toml" -o "$work/two" --prepare
b=$held_pid
release plan-b "$b" 0
release plan-a "$a" 2
grep -q "holds the plan.toml of another plan" "$work/plan-a.err" || fail "the refusal does not name the other plan"
cmp -s "$work/other.toml" "$work/two/plan.toml" || fail "the folder does not keep the ready plan"
"$cli" sweep "$work/other.toml" -o "$work/two" --no-progress 2>"$work/two.err" || fail "the ready plan's sweep"
echo "passed"
