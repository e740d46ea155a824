#!/usr/bin/env bash
# Runs DistributedScaling at 1 and 2 ranks (and 3, oversubscribed, on a 2-core machine) for a
# hex8 source of 1e6 and about 4e6 cells onto 1e6 target points, and prints each run and, per
# size, the time of 2 ranks over 1 and every rank count's peak memory over the ideal share
# (one rank's peak divided by the rank count).
#   bench/distributed/scaling.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
program=$build/bench/distributed/DistributedScaling
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
export OMPI_MCA_rmaps_base_oversubscribe=1 OMPI_MCA_btl_vader_single_copy_mechanism=none
for n in 100 159; do
  declare -A mapping=() peak=()
  for ranks in 1 2 3; do
    line=$(mpirun -n "$ranks" "$program" "$n" 1000000 1)
    echo "$line"
    mapping[$ranks]=$(sed -E 's/.*mapping ([0-9.]+) s.*/\1/' <<<"$line")
    peak[$ranks]=$(sed -E 's/.*per rank ([0-9]+) MB.*/\1/' <<<"$line")
  done
  awk -v t1="${mapping[1]}" -v t2="${mapping[2]}" -v p1="${peak[1]}" -v p2="${peak[2]}" \
      -v p3="${peak[3]}" -v n="$n" 'BEGIN {
    printf "n=%d: time 2 ranks / 1 rank %.2f; peak per rank over ideal share: 2 ranks %.2f, 3 ranks %.2f\n",
           n, t2 / t1, p2 / (p1 / 2), p3 / (p1 / 3) }'
done
