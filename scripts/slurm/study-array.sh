#!/usr/bin/env bash
# One shard of a study per task of a Slurm job array: task I of a study split
# into N shards runs the sample rows whose index modulo N is I into the file
# PREFIX.partI.csv. N is given on the command line, not taken from the array,
# so that any one task can be submitted again on its own (--array=7) and
# resumes exactly its part where it stopped.
#
#   sbatch --array=0-15 --cpus-per-task=4 scripts/slurm/study-array.sh runs/study 16 \
#       --par base.par --drivers site.drr --samples samples.csv --factors factors.csv \
#       --start 1 --stop 10980 --metric nep=NEP:mean:years=21-30
#   # task 7 was cancelled or timed out: the same command for it alone
#   sbatch --array=7 --cpus-per-task=4 scripts/slurm/study-array.sh runs/study 16 ...
#   vindrel-cli study merge runs/study.part*.csv --samples samples.csv \
#       --factors factors.csv --out results.csv
#
# PREFIX is a file prefix, not a folder: runs/study gives runs/study.part0.csv,
# runs/study.part1.csv, ... (the folder runs/ must exist). The remaining
# arguments are those of vindrel-cli study run without --results, --shard and
# --jobs: each task uses the processors Slurm gave it. The program is
# vindrel-cli on the PATH, or the one named by VINDREL_CLI.
#SBATCH --job-name=vindrel-study
#SBATCH --cpus-per-task=1
#SBATCH --output=vindrel-study-%A_%a.log
set -euo pipefail

usage="usage: sbatch --array=0-N-1 $0 PREFIX N STUDY-RUN-OPTIONS..."
if [ $# -lt 2 ] || [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "$usage" >&2
  exit 2
fi
prefix=$1
count=$2
shift 2
if ! [[ $count =~ ^[1-9][0-9]*$ ]]; then
  echo "study-array.sh: expected the number of shards N after the prefix, found \"$count\"" >&2
  echo "$usage" >&2
  exit 2
fi
index=$SLURM_ARRAY_TASK_ID
if [ "$index" -ge "$count" ]; then
  echo "study-array.sh: array task $index is not a shard of $count (give --array=0-$((count - 1)) or some of those tasks)" >&2
  exit 2
fi
exec "${VINDREL_CLI:-vindrel-cli}" study run "$@" --shard "$index/$count" \
  --jobs "${SLURM_CPUS_PER_TASK:-1}" --results "$prefix.part$index.csv" --quiet
