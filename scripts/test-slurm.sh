#!/usr/bin/env bash
# End-to-end test of a sweep on Slurm: starts a one-node Slurm cluster of its
# own (munged, slurmctld, slurmd, everything under a temporary folder), submits
# tests/slurm/plan.toml through scripts/slurm/submit-sweep.sh as a job array of
# 4 tasks plus the merge job, and checks that the merged table is byte for
# byte the one a single machine's `tessil-cli sweep` and `merge` make. Then two
# submissions a shared cluster sees every day, each ending with the same table:
# the same command submitted again while a task of the first array still runs
# (held between computing a study and publishing it), into a folder whose name
# holds a %; and a plan edited as soon as it has been submitted.
#
#   scripts/test-slurm.sh [TESSIL_CLI]      (default build/ci/bin/tessil-cli)
#
# Needs root and Debian's slurmd, slurmctld, slurm-client and munge
# (scripts/install-deps.sh --test); without them it says why in one line and passes.
# It stops the daemons it started, by their process ids, on every way out.
set -euo pipefail
# A program named on the command line is found from where the test was run.
if [ $# -ge 1 ]; then cli=$(realpath -m -- "$1"); fi
cd "$(dirname "$0")/.."
cli=${cli:-build/ci/bin/tessil-cli}
plan=tests/slurm/plan.toml
tasks=4
start_seconds=$SECONDS

# Whether a process runs; a daemon that has ended stays a zombie until the
# machine's first process reaps it, which may take a while in a container.
running() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) && [ -n "$state" ] && [ "$state" != Z ]
}

skip() {
  echo "test-slurm: skipped: $*"
  exit 0
}

[ "$(id -u)" -eq 0 ] || skip "starting Slurm's daemons needs root (this user is $(id -un))."
for program in munged mungekey munge unmunge runuser slurmctld slurmd sbatch squeue sinfo scontrol scancel; do
  command -v "$program" >/dev/null 2>&1 ||
    skip "$program is not installed (scripts/install-deps.sh --test installs Slurm and munge)."
done
# A machine that is already a Slurm node or controller is not ours to borrow.
for pid in $(pgrep -x slurmctld) $(pgrep -x slurmd); do
  running "$pid" && skip "a Slurm daemon already runs on this machine (pid $pid)."
done
if [ ! -x "$cli" ]; then
  echo "test-slurm: FAILED: no tessil-cli program at \"$cli\"; build it first." >&2
  exit 1
fi
cli=$(realpath "$cli")

# The pid of a daemon we started, from its pid file; empty if there is none
# (yet) or the process there is no longer that daemon.
daemon_pid() {
  local name=$1 file=$2 pid
  [ -s "$file" ] || return 0
  pid=$(tr -dc '0-9' <"$file")
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] && echo "$pid"
  return 0
}

pid_file_of() {
  case $1 in
    munged) echo "$tmp/munge/munged.pid" ;;
    *) echo "$tmp/$1.pid" ;;
  esac
}

stop_daemon() {
  local name=$1 file pid
  file=$(pid_file_of "$name")
  # A daemon started a moment ago may not have written its pid file yet.
  for _ in $(seq 1 8); do
    pid=$(daemon_pid "$name" "$file")
    if [ -n "$pid" ] || [ -s "$file" ]; then break; fi
    sleep 0.25
  done
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 40); do
    running "$pid" || return 0
    sleep 0.25
  done
  kill -KILL "$pid" 2>/dev/null || true
  sleep 0.5
  if running "$pid"; then
    echo "test-slurm: $name (pid $pid) would not stop." >&2
  fi
}

cleanup() {
  local status=$?
  # Cleanup is bounded; a second Ctrl-C must not cut it short.
  trap - EXIT
  trap '' INT TERM
  set +e
  if [ -n "$array_job$merge_job${other_jobs[*]}" ] && [ -n "$(daemon_pid slurmctld "$tmp/slurmctld.pid")" ]; then
    # Jobs still queued or running when the test ends early: cancel them, and
    # give slurmd a moment to end their processes before it stops itself.
    [ ! -d "$tmp/hold" ] || touch "$tmp/hold/go"
    # shellcheck disable=SC2086
    scancel $array_job $merge_job ${other_jobs[*]} 2>/dev/null
    local listed
    listed=$(tr ' ' ',' <<<"${array_job:-0} ${merge_job:-0} ${other_jobs[*]}")
    for _ in $(seq 1 20); do
      [ -z "$(squeue -h -j "${listed%,}" -o %i 2>/dev/null)" ] && break
      sleep 0.5
    done
  fi
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    stop_daemon "${started[i]}"
  done
  rm -rf "$tmp"
  exit "$status"
}
tmp=$(mktemp -d /tmp/tessil-slurm.XXXXXX)
# munged runs as the munge user and must reach its folder through this one.
chmod 755 "$tmp"
mkdir -p "$tmp/munge" "$tmp/state" "$tmp/spool"
chown munge:munge "$tmp/munge"
chmod 755 "$tmp/munge"
socket="$tmp/munge/munge.socket"
conf="$tmp/slurm.conf"
array_job=""
merge_job=""
other_jobs=()
started=()
trap cleanup EXIT
trap 'echo "test-slurm: interrupted" >&2; exit 130' INT
trap 'echo "test-slurm: terminated" >&2; exit 143' TERM

show_logs() {
  local log
  for log in "$tmp/munge/munged.log" "$tmp/slurmctld.log" "$tmp/slurmd.log" "$tmp"/cluster*/slurm-logs/*; do
    [ -f "$log" ] || continue
    echo "---- last lines of ${log#"$tmp"/}" >&2
    tail -n 15 "$log" >&2
  done
}

fail() {
  echo "test-slurm: FAILED: $*" >&2
  show_logs
  exit 1
}

# A daemon that will not start means this machine cannot host the cluster
# (a container without the rights, a port taken): a skip, with its last words.
skip_with_log() {
  local why=$1 log=$2 last=""
  [ -f "$log" ] && last=$(grep -v '^\s*$' "$log" | tail -n 1)
  skip "$why${last:+: $last}"
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local limit=$1 deadline
  shift
  deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}

# The single-machine sweep first: the reference, and a check of tessil-cli
# itself before any daemon starts. No Slurm variables may leak into it.
unset "${!SLURM_@}"
"$cli" sweep "$plan" -o "$tmp/whole" --no-progress 2>"$tmp/whole.log" ||
  fail "the single-machine sweep failed: $(tail -n 3 "$tmp/whole.log")"
"$cli" merge "$tmp/whole" -o "$tmp/whole/merged.tsv" 2>>"$tmp/whole.log" ||
  fail "the single-machine merge failed: $(tail -n 3 "$tmp/whole.log")"

# munged of our own, on its own socket and key, so that a munged the machine
# may run is neither used nor disturbed.
runuser -u munge -- mungekey -c -k "$tmp/munge/munge.key" 2>"$tmp/mungekey.log" ||
  skip_with_log "mungekey could not make a key" "$tmp/mungekey.log"
started+=(munged)
runuser -u munge -- munged --socket="$socket" --key-file="$tmp/munge/munge.key" \
  --pid-file="$tmp/munge/munged.pid" --log-file="$tmp/munge/munged.log" \
  --seed-file="$tmp/munge/munged.seed" 2>"$tmp/munged-start.log" ||
  skip_with_log "munged did not start" "$tmp/munged-start.log"
munge_works() { munge -n -S "$socket" 2>/dev/null | unmunge -S "$socket" >/dev/null 2>&1; }
wait_for 10 munge_works || skip_with_log "munged does not answer" "$tmp/munge/munged.log"

host=$(hostname -s)
cpus=$(nproc)
memory_mb=$(awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo)
# Ports of our own, away from a real cluster's 6817 and 6818; the loopback
# address, so that the test needs no name service for this machine's name.
controller_port=$((20000 + ($$ % 10000) * 2))
cat >"$conf" <<EOF
ClusterName=tessiltest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$((controller_port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory_mb State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF="$conf"

started+=(slurmctld)
slurmctld 2>>"$tmp/slurmctld.log" || skip_with_log "slurmctld did not start" "$tmp/slurmctld.log"
controller_up() { scontrol ping 2>/dev/null | grep -q 'is UP'; }
wait_for 20 controller_up || skip_with_log "slurmctld did not start" "$tmp/slurmctld.log"
started+=(slurmd)
slurmd 2>>"$tmp/slurmd.log" || skip_with_log "slurmd did not start" "$tmp/slurmd.log"
node_idle() { [ "$(sinfo -h -N -n "$host" -o %T 2>/dev/null)" = idle ]; }
wait_for 30 node_idle || fail "the node $host did not become idle within 30 s."
echo "test-slurm: one-node cluster up after $((SECONDS - start_seconds)) s"

ids=$(scripts/slurm/submit-sweep.sh "$plan" "$tmp/cluster" --tasks "$tasks" --time 00:03:00 \
  --tessil-cli "$cli" --parsable) || fail "submit-sweep.sh failed."
read -r array_job merge_job <<<"$ids"
[[ $array_job =~ ^[0-9]+$ && $merge_job =~ ^[0-9]+$ ]] || fail "submit-sweep.sh printed \"$ids\", not two job ids."

# One "JobState task ArrayTaskId exit ExitCode" line per job record (one per
# task of an array); fails when slurmctld does not answer.
job_states() {
  local records
  records=$(scontrol show job -o "$1" 2>/dev/null) && [ -n "$records" ] || return 1
  sed -E 's/.*JobState=([A-Z_]+).*/\1 &/; s/^([A-Z_]+) .*ArrayTaskId=([^ ]+).*ExitCode=([^ ]+).*/\1 task \2 exit \3/; s/^([A-Z_]+) .*ExitCode=([^ ]+).*/\1 exit \2/' <<<"$records"
}
# Whether the jobs given (default: the first submission's) are all done.
jobs_done() {
  local states job
  [ $# -gt 0 ] || set -- "$array_job" "$merge_job"
  states=""
  for job in "$@"; do states+=$(job_states "$job")$'\n' || return 1; done
  ! grep -qE '^(PENDING|CONFIGURING|RUNNING|COMPLETING|SUSPENDED|REQUEUED|RESIZING)' <<<"$states"
}
# Fails unless every task of array $1 and the merge job $2 completed.
check_completed() {
  local states bad
  states=$(job_states "$1")
  bad=$(grep -v '^COMPLETED' <<<"$states" || true)
  [ -z "$bad" ] || fail "$3: tasks of job array $1 did not succeed: $(tr '\n' ';' <<<"$bad")"
  [ "$(job_states "$2")" = "COMPLETED exit 0:0" ] || fail "$3: merge job $2: $(job_states "$2")"
}
# Fails unless the folder's merged table is the single machine's.
check_table() {
  [ -f "$1/merged.tsv" ] || fail "$2: the merge job wrote no merged.tsv."
  cmp "$tmp/whole/merged.tsv" "$1/merged.tsv" >&2 ||
    fail "$2: the merged table differs from the single machine's: $(diff "$tmp/whole/merged.tsv" "$1/merged.tsv" | head -n 6)"
}
wait_for 120 jobs_done || fail "the jobs were not done within 120 s: $(job_states "$array_job"; job_states "$merge_job")"

array_states=$(job_states "$array_job")
not_completed=$(grep -v '^COMPLETED' <<<"$array_states" || true)
[ -z "$not_completed" ] || fail "tasks of job array $array_job did not succeed: $(tr '\n' ';' <<<"$not_completed")" \
  "merge job $merge_job: $(job_states "$merge_job")"
[ "$(grep -c '^COMPLETED' <<<"$array_states")" -eq "$tasks" ] ||
  fail "job array $array_job ran $(grep -c '^COMPLETED' <<<"$array_states") tasks, not $tasks."
[ "$(job_states "$merge_job")" = "COMPLETED exit 0:0" ] || fail "merge job $merge_job: $(job_states "$merge_job")"

# Every study was run by exactly one task: tasks that each ran the whole plan
# would give the same table, but no sweep would be shared.
for study in "$tmp"/cluster/studies/*/; do
  study=$(basename "$study")
  runs=$({ grep -lw -- "$study" "$tmp"/cluster/slurm-logs/sweep-*.out || true; } | wc -l)
  [ "$runs" -eq 1 ] || fail "study $study was run by $runs tasks, not by one."
done

[ -f "$tmp/cluster/merged.tsv" ] || fail "the merge job wrote no merged.tsv."
[ -s "$tmp/cluster/summary.svg" ] || fail "the merge job drew no summary.svg."
cmp "$tmp/whole/merged.tsv" "$tmp/cluster/merged.tsv" >&2 ||
  fail "the cluster's merged table differs from the single machine's: $(diff "$tmp/whole/merged.tsv" "$tmp/cluster/merged.tsv" | head -n 6)"

echo "test-slurm: $tasks tasks and the merge gave the single machine's table ($((SECONDS - start_seconds)) s)"

# The same command submitted again while a task of the first array still
# runs. The first array runs one task at a time, and that task is held
# between computing its study and publishing it (TESSIL_SWEEP_HOLD reaches
# the tasks through sbatch's environment); the second array runs the whole
# sweep meanwhile, and the held task then finds its study published. A % in
# the folder's name must reach the logs as itself.
again="$tmp/cluster%again"
mkdir -p "$tmp/hold"
ids=$(TESSIL_SWEEP_HOLD="publish:$tmp/hold" scripts/slurm/submit-sweep.sh "$plan" "$again" --tasks "$tasks" \
  --max-running 1 --time 00:03:00 --tessil-cli "$cli" --parsable) || fail "the first submission failed."
read -r first_array first_merge <<<"$ids"
other_jobs+=("$first_array" "$first_merge")
held() { [ -f "$tmp/hold/held" ]; }
wait_for 60 held || fail "no task of job array $first_array was held: $(job_states "$first_array")"
ids=$(scripts/slurm/submit-sweep.sh "$plan" "$again" --tasks "$tasks" --time 00:03:00 --tessil-cli "$cli" \
  --parsable) || fail "the submission while a task runs failed."
read -r second_array second_merge <<<"$ids"
other_jobs+=("$second_array" "$second_merge")
wait_for 120 jobs_done "$second_array" "$second_merge" ||
  fail "the second submission was not done within 120 s: $(job_states "$second_array")"
check_completed "$second_array" "$second_merge" "resubmitted"
touch "$tmp/hold/go"
wait_for 120 jobs_done "$first_array" "$first_merge" ||
  fail "the first submission was not done within 120 s: $(job_states "$first_array")"
check_completed "$first_array" "$first_merge" "held"
grep -q "finished by another run at the same time" "$again"/slurm-logs/sweep-"${first_array}"_*.out ||
  fail "the held task did not find its study published by the other array."
check_table "$again" "resubmitted while a task runs"
leftover=$(ls -A "$again/studies" | grep -v '^[0-9a-f]\{16\}$' || true)
[ -z "$leftover" ] || fail "resubmitted while a task runs: studies/ holds $leftover"

# A plan edited as soon as it is submitted: the tasks and the merge read the
# copy the folder keeps, so the sweep is the one submitted.
cp "$plan" "$tmp/edited.toml"
ids=$(scripts/slurm/submit-sweep.sh "$tmp/edited.toml" "$tmp/cluster-edited" --tasks "$tasks" --time 00:03:00 \
  --tessil-cli "$cli" --parsable) || fail "the submission of the plan to be edited failed."
printf '\n[[study]]\nrows = 7\ncols = 7\n' >>"$tmp/edited.toml"
read -r edited_array edited_merge <<<"$ids"
other_jobs+=("$edited_array" "$edited_merge")
wait_for 120 jobs_done "$edited_array" "$edited_merge" ||
  fail "the edited plan's jobs were not done within 120 s: $(job_states "$edited_array")"
check_completed "$edited_array" "$edited_merge" "plan edited after submission"
check_table "$tmp/cluster-edited" "plan edited after submission"

echo "test-slurm: passed: a sweep, a resubmission while a task runs and a plan edited after submission each gave the single machine's table on a one-node Slurm cluster ($((SECONDS - start_seconds)) s)"
