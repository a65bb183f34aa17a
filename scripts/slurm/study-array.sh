#!/usr/bin/env bash
# One shard of a study per task of a Slurm job array: task I of an array of N
# tasks (--array=0-N-1) runs the sample rows whose index modulo N is I into
# PREFIX.partI.csv. Every task runs the same vindrel-cli study run command, so
# a task that is requeued or submitted again resumes its part where it stopped.
#
#   sbatch --array=0-15 --cpus-per-task=4 scripts/slurm/study-array.sh PREFIX \
#       --par base.par --drivers site.drr --samples samples.csv --factors factors.csv \
#       --start 1 --stop 10980 --metric nep=NEP:mean:years=21-30
#   vindrel-cli study merge PREFIX.part*.csv --samples samples.csv --factors factors.csv \
#       --out results.csv
#
# The remaining arguments are those of vindrel-cli study run without --results,
# --shard and --jobs: each task uses the processors Slurm gave it. The program
# is vindrel-cli on the PATH, or the one named by VINDREL_CLI.
#SBATCH --job-name=vindrel-study
#SBATCH --cpus-per-task=1
#SBATCH --output=vindrel-study-%A_%a.log
set -euo pipefail

if [ $# -lt 1 ] || [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "usage: sbatch --array=0-N-1 $0 PREFIX STUDY-RUN-OPTIONS..." >&2
  exit 2
fi
prefix=$1
shift
# Array indices from 0 to N-1 with no gaps: the shard is the task's place in it.
count=$((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1))
index=$((SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN))
if [ -n "${SLURM_ARRAY_TASK_COUNT:-}" ] && [ "$SLURM_ARRAY_TASK_COUNT" -ne "$count" ]; then
  echo "study-array.sh: give the array as one range without steps or gaps (--array=0-N-1)" >&2
  exit 2
fi
exec "${VINDREL_CLI:-vindrel-cli}" study run "$@" --shard "$index/$count" \
  --jobs "${SLURM_CPUS_PER_TASK:-1}" --results "$prefix.part$index.csv" --quiet
