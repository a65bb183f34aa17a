#!/usr/bin/env bash
# Runs a small study as a four-task Slurm job array on a single-node cluster
# started here, merges the parts and compares the result byte for byte with
# the same study run locally with --jobs 2. Then runs a longer study the same
# way, cancels one task while it runs, submits that task again on its own,
# and checks that it resumed its part and that the merged parts again equal
# the study run locally.
#
#   bash scripts/slurm/test-slurm.sh PATH/TO/vindrel-cli
#
# It starts its own munged (with a new key, on a socket of its own), slurmctld
# and slurmd from Debian's munge and slurm-wlm packages, with slurm.conf from
# this folder, everything kept in a temporary folder, and stops the daemons it
# started when it ends, however it ends. Exits 77 (skipped) when the packages
# are not installed; needs root (Slurm's daemons run as root here).
set -euo pipefail

readonly skip=77
cli=$(realpath "${1:?usage: test-slurm.sh PATH/TO/vindrel-cli}")
here=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$here/../../examples" && pwd)

for program in munged slurmctld slurmd sbatch sinfo squeue; do
  if ! command -v "$program" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$program" ]; then
    echo "test-slurm: $program is not installed (bash scripts/setup.sh installs slurm-wlm and munge); skipped"
    exit $skip
  fi
done
if [ "$(id -u)" -ne 0 ]; then
  echo "test-slurm: the daemons of this single-node cluster run as root; skipped"
  exit $skip
fi
export PATH="$PATH:/usr/sbin"

state=$(mktemp -d /tmp/vindrel-slurm.XXXXXX)
chmod 755 "$state"
started=()  # pid files of the daemons started here
stop_daemons() {
  local status=$?
  # Each daemon by the pid it wrote, and only while that pid is still the daemon.
  local pids=()
  for pid_file in "${started[@]}"; do
    if [ -s "$pid_file" ]; then
      pid=$(cat "$pid_file")
      kill "$pid" 2>/dev/null && pids+=("$pid:$(cat "/proc/$pid/comm" 2>/dev/null)")
    fi
  done
  for ((i = 0; i < 20; i++)); do
    local alive=0
    for entry in "${pids[@]}"; do
      [ "$(cat "/proc/${entry%%:*}/comm" 2>/dev/null)" = "${entry#*:}" ] && alive=1
    done
    [ $alive -eq 0 ] && break
    sleep 0.25
  done
  for entry in "${pids[@]}"; do
    if [ "$(cat "/proc/${entry%%:*}/comm" 2>/dev/null)" = "${entry#*:}" ]; then
      kill -9 "${entry%%:*}" 2>/dev/null || true
    fi
  done
  if [ $status -ne 0 ]; then
    for log in "$state"/*.log; do
      [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
  fi
  rm -rf "$state"
  exit $status
}
trap stop_daemons EXIT
trap 'exit 130' INT TERM

# Ports unlikely to be in use, different on every run.
base=$((20000 + RANDOM % 20000))
sed -e "s|@STATE@|$state|g" -e "s|@CTLD_PORT@|$base|g" -e "s|@SLURMD_PORT@|$((base + 1))|g" \
  "$here/slurm.conf" >"$state/slurm.conf"
export SLURM_CONF="$state/slurm.conf"
mkdir -p "$state/slurmctld" "$state/slurmd"

# munge: a key of its own, readable by root only.
dd if=/dev/urandom of="$state/munge.key" bs=1024 count=1 status=none
chmod 400 "$state/munge.key"
started+=("$state/munged.pid")
munged --force --socket="$state/munge.socket" --key-file="$state/munge.key" \
  --pid-file="$state/munged.pid" --log-file="$state/munged.log" --seed-file="$state/munged.seed"

started+=("$state/slurmctld.pid")
slurmctld -f "$SLURM_CONF" -i
started+=("$state/slurmd.pid")
slurmd -f "$SLURM_CONF" -N localhost

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds=$1
  shift
  for ((i = 0; i < seconds * 4; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.25
  done
  return 1
}
node_idle() { [ "$(sinfo -h -n localhost -o %t)" = idle ]; }
wait_for 30 node_idle || { echo "test-slurm: the node did not become idle"; sinfo -N -l || true; exit 1; }

# A small study: 8 rows, 30 days each.
cd "$state"
printf 'factor,low,high\nmF,20,60\nalphaT,0.05,0.2\nWf,250,400\n' >factors.csv
printf 'mF,alphaT,Wf\n' >samples.csv
for i in 0 1 2 3 4 5 6 7; do
  printf '%s,%s,%s\n' "$((22 + 5 * i))" "0.0$((5 + i))" "$((260 + 17 * i))" >>samples.csv
done
study=(--par "$examples/vindrel-example.par" --drivers "$examples/vindrel-example.drr"
  --samples samples.csv --factors factors.csv --start 1 --stop 31
  --metric cf=Cf:last --metric lai=process:LAI:max --metric et=process:ET:integral)

job=$(VINDREL_CLI="$cli" sbatch --parsable --array=0-3 --output="$state/task-%a.log" \
  "$here/study-array.sh" "$state/study" 4 "${study[@]}")
echo "test-slurm: submitted job array $job"
finished() { [ -z "$(squeue -h -j "$job" 2>/dev/null)" ]; }
wait_for 90 finished || { echo "test-slurm: the job array did not finish in 90 s"; squeue || true; exit 1; }
for i in 0 1 2 3; do
  if [ ! -s "study.part$i.csv" ]; then
    echo "test-slurm: task $i wrote no part"
    cat "task-$i.log" 2>/dev/null || true
    exit 1
  fi
done

"$cli" study merge study.part0.csv study.part1.csv study.part2.csv study.part3.csv \
  --samples samples.csv --factors factors.csv --out merged.csv
"$cli" study run "${study[@]}" --jobs 2 --results local.csv --quiet >/dev/null
if ! cmp merged.csv local.csv; then
  diff merged.csv local.csv || true
  exit 1
fi
echo "test-slurm: the four tasks' merged results equal the local study ($(grep -c '^[0-9]' local.csv) runs)"

# A longer study (16 runs of five model years, four shards of four runs):
# task 3 is cancelled once its part holds a row, then submitted again alone.
printf 'mF,alphaT,Wf\n' >long.csv
for i in $(seq 0 15); do
  printf '%s,0.1,%s\n' "$((22 + 2 * i))" "$((260 + 9 * i))" >>long.csv
done
long=(--par "$examples/vindrel-example.par" --drivers "$examples/vindrel-example.drr"
  --samples long.csv --factors factors.csv --start 1 --stop 1830
  --metric nep=NEP:mean --metric cf=Cf:last)
rows_in() { if [ -f "$1" ]; then grep -c '^[0-9]' "$1" || true; else echo 0; fi; }
job=$(VINDREL_CLI="$cli" sbatch --parsable --array=0-3 --output="$state/long-%a.log" \
  "$here/study-array.sh" "$state/long" 4 "${long[@]}")
part_started() { [ "$(rows_in long.part3.csv)" -ge 1 ]; }
wait_for 120 part_started || { echo "test-slurm: task 3 wrote no row in 120 s"; squeue || true; exit 1; }
scancel "${job}_3"
wait_for 120 finished || { echo "test-slurm: the array did not end in 120 s"; squeue || true; exit 1; }
done_before=$(rows_in long.part3.csv)
if [ "$done_before" -ge 4 ]; then
  echo "test-slurm: task 3 finished its four runs before it was cancelled; the machine is too fast for this test"
  exit 1
fi
echo "test-slurm: task 3 cancelled with $done_before of its 4 runs recorded"
job=$(VINDREL_CLI="$cli" sbatch --parsable --array=3 --output="$state/again-%a.log" \
  "$here/study-array.sh" "$state/long" 4 "${long[@]}")
wait_for 120 finished || { echo "test-slurm: the resubmitted task did not end in 120 s"; squeue || true; exit 1; }
if ! grep -q "shard 3/4 of 16 rows.*$done_before of them recorded before" again-3.log; then
  echo "test-slurm: the resubmitted task did not resume shard 3 of 4:"
  cat again-3.log
  exit 1
fi
if [ "$(rows_in long.part3.csv)" -ne 4 ]; then
  echo "test-slurm: the resubmitted task did not complete its part"
  exit 1
fi
"$cli" study merge long.part0.csv long.part1.csv long.part2.csv long.part3.csv \
  --samples long.csv --factors factors.csv --out long-merged.csv
"$cli" study run "${long[@]}" --jobs 2 --results long-local.csv --quiet >/dev/null
if ! cmp long-merged.csv long-local.csv; then
  diff long-merged.csv long-local.csv || true
  exit 1
fi
echo "test-slurm: task 3 cancelled and submitted again alone resumed its part; the merged results equal the local study"
