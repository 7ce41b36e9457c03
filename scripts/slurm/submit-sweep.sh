#!/usr/bin/env bash
# Submits a sweep to Slurm: a job array whose tasks share the studies of the
# plan, and a merge job that waits for all of them. See --help.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
me=submit-sweep

usage() {
  cat <<EOF
Usage: scripts/slurm/submit-sweep.sh PLAN DIR [options] [-- sbatch options]

Runs the sweep PLAN (a .toml plan file) on a Slurm cluster. The studies are
shared among the tasks of one job array, each task running its share with
"tessil-cli sweep PLAN -o DIR"; a second job, which starts only when every task
has succeeded, merges them into one table and one chart:

  DIR/merged.tsv        one row per study
  DIR/summary.svg       actual size and power against matrix size
  DIR/studies/          each study's report, power table and figures
  DIR/slurm-logs/       the jobs' output: sweep-<array>_<task>.out, merge-<job>.out

DIR must be a folder that every node of the cluster sees (a shared file
system); it is made if it does not exist.

Options:
  --tasks N             tasks in the job array (default 4); more tasks finish
                        sooner if the cluster has room for them. Studies are
                        dealt out in turn, so N larger than the number of
                        studies leaves tasks with nothing to do.
  --time HH:MM:SS       time limit of each task (default 01:00:00); a task
                        stopped at its limit keeps the studies it finished
  --cpus-per-task C     CPUs of each task (default 1); each study runs on that
                        many threads
  --max-running M       let at most M tasks run at once (default: no limit)
  --tessil-cli PATH     the tessil-cli to run, as the nodes see it (default:
                        tessil-cli on PATH, else this checkout's
                        build/ci/bin/tessil-cli)
  --yes                 go on with plans of fewer than 100 iterations
  --parsable            print only the two job ids, "ARRAY_JOB MERGE_JOB"
  -h, --help            this text
  -- OPTIONS            everything after -- goes to sbatch for both jobs, e.g.
                        -- --partition=long --account=mylab

The tasks read the copy of the plan that DIR keeps (DIR/plan.toml), so the
plan file may be edited once this command has returned.

Resuming: a sweep that stopped part way (time limit, pre-emption, scancel, a
failed node) resumes when you submit the same command again with the same DIR:
studies already in DIR are kept and skipped, and only the missing ones run. The
number of tasks may differ from the first submission, and the same command may
be submitted again while tasks of the first submission still run: a study is
computed by whichever run comes first, and the other keeps its copy. A DIR
holding a sweep of another plan, or made by another version of Tessil, is
refused.

Example:
  scripts/slurm/submit-sweep.sh examples/sweep.toml /scratch/me/sweep1 \\
      --tasks 20 --time 02:00:00 --cpus-per-task 4 -- --partition=long
EOF
}

fail() {
  echo "$me: $*" >&2
  exit 2
}

positional=()
tasks=4
time_limit=01:00:00
cpus=1
max_running=""
cli=""
sweep_options=()
parsable=0
sbatch_options=()
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help)
      usage
      exit 0
      ;;
    --tasks | --time | --cpus-per-task | --max-running | --tessil-cli)
      [ $# -ge 2 ] || fail "$1 needs a value; see --help."
      case $1 in
        --tasks) tasks=$2 ;;
        --time) time_limit=$2 ;;
        --cpus-per-task) cpus=$2 ;;
        --max-running) max_running=$2 ;;
        --tessil-cli) cli=$2 ;;
      esac
      shift 2
      ;;
    --yes)
      sweep_options+=(--yes)
      shift
      ;;
    --parsable)
      parsable=1
      shift
      ;;
    --)
      shift
      sbatch_options=("$@")
      break
      ;;
    -*) fail "unknown option \"$1\"; see --help." ;;
    *)
      positional+=("$1")
      shift
      ;;
  esac
done

[ "${#positional[@]}" -eq 2 ] || fail "needs a plan file and an output folder: submit-sweep.sh PLAN DIR; see --help."
plan=${positional[0]}
dir=${positional[1]}

is_count() { [[ $1 =~ ^[1-9][0-9]{0,5}$ ]]; }
is_count "$tasks" || fail "--tasks must be a whole number of 1 or more, not \"$tasks\"."
is_count "$cpus" || fail "--cpus-per-task must be a whole number of 1 or more, not \"$cpus\"."
[ -z "$max_running" ] || is_count "$max_running" ||
  fail "--max-running must be a whole number of 1 or more, not \"$max_running\"."
[[ $time_limit =~ ^([0-9]+-)?[0-9]{1,2}:[0-9]{2}:[0-9]{2}$ ]] ||
  fail "--time must be HH:MM:SS (or D-HH:MM:SS), not \"$time_limit\"."

command -v sbatch >/dev/null 2>&1 ||
  fail "sbatch was not found: run this on a machine that submits Slurm jobs (a login node), or install Slurm's client."
[ -f "$plan" ] || fail "the plan \"$plan\" does not exist."
[ -r "$plan" ] || fail "the plan \"$plan\" cannot be read."

if [ -z "$cli" ]; then
  if command -v tessil-cli >/dev/null 2>&1; then
    cli=$(command -v tessil-cli)
  else
    cli="$(dirname "$here")"; cli="$(dirname "$cli")/build/ci/bin/tessil-cli"
  fi
fi
{ [ -f "$cli" ] && [ -x "$cli" ]; } ||
  fail "no tessil-cli program at \"$cli\"; build Tessil or name it with --tessil-cli PATH."

# The jobs run elsewhere and later: give them absolute paths.
plan=$(realpath "$plan")
cli=$(realpath "$cli")
dir=$(realpath -m "$dir")

# Before anything is queued, tessil-cli checks the plan and DIR (a sweep of
# another plan or another Tessil is refused) and records the sweep in DIR, so
# that a wrong folder is refused now, not hours later in the queue, and the
# logs below go into a sweep's folder.
if ! said=$("$cli" sweep "$plan" -o "$dir" --prepare "${sweep_options[@]}" </dev/null 2>&1 >/dev/null); then
  echo "$said" >&2
  fail "tessil-cli refused the plan or the sweep folder (above); nothing was submitted."
fi

logs="$dir/slurm-logs"
mkdir -p "$logs" || fail "cannot make the folder \"$logs\"."
# Slurm expands % in an output file's name (%j, %A, ...): a % of the folder's
# own name is written %% so that the logs land where the folder is.
logs_pattern=${logs//%/%%}
# The tasks and the merge read the plan's copy kept in DIR, never PLAN
# itself: editing PLAN while the jobs wait changes nothing of this sweep.
kept_plan="$dir/plan.toml"

array="0-$((tasks - 1))"
[ -z "$max_running" ] || array="$array%$max_running"

# sbatch --parsable prints "jobid" or "jobid;cluster".
array_job=$(sbatch --parsable --array="$array" --time="$time_limit" --cpus-per-task="$cpus" \
  --job-name=tessil-sweep --output="$logs_pattern/sweep-%A_%a.out" "${sbatch_options[@]}" \
  "$here/tessil-sweep.sbatch" "$cli" "$kept_plan" "$dir" "${sweep_options[@]}") ||
  fail "sbatch refused the job array (above); nothing was submitted."
array_job=${array_job%%;*}

# afterok: the merge runs only if every task succeeded; if one fails, Slurm
# cancels the merge instead of leaving it pending for ever.
merge_job=$(sbatch --parsable --dependency="afterok:$array_job" --kill-on-invalid-dep=yes \
  --job-name=tessil-merge --output="$logs_pattern/merge-%j.out" "${sbatch_options[@]}" \
  "$here/tessil-merge.sbatch" "$cli" "$dir") || {
  echo "$me: sbatch refused the merge job (above); the job array $array_job is submitted." >&2
  echo "$me: merge by hand when it ends: $cli merge $dir -o $dir/merged.tsv" >&2
  exit 1
}
merge_job=${merge_job%%;*}

if [ "$parsable" -eq 1 ]; then
  echo "$array_job $merge_job"
  exit 0
fi

cat <<EOF
Submitted the sweep $plan
  job array $array_job: $tasks tasks, $cpus CPU(s) and $time_limit each
  merge job $merge_job: starts when every task has succeeded
Watch:    squeue -j $array_job,$merge_job
Logs:     $logs/
Result:   $dir/merged.tsv and $dir/summary.svg
Cancel:   scancel $array_job $merge_job
If a task fails or runs out of time, the merge job is cancelled; submit the same
command again: the finished studies in $dir are kept and only the rest run.
EOF
