#!/usr/bin/env bash
# Wall time of layoutgen runs against the cost of starting any program.
#
#   bench/layoutgen_bench.sh [-n RUNS] [--no-build]
#
# Builds the Release tree build-bench/ (unless --no-build), writes the large
# class's home with gen_large_class and a copy of examples/home to temporary
# directories, and times RUNS runs (default 50, or $RUNS) of each case with
# spawn_timer, all cases round-robin: /bin/true as the floor, then the
# submit, modify, transition and query forms of the sample class and of the
# large class. It prints the median of each case and its ratio to the floor.
#
# The programs need a Unix account "plix". As in examples/demo.sh they get
# one from nss_wrapper with a passwd and group file of this script's own,
# never from the machine's user database: "plix" owns the copy of the sample
# home, and the large class's home is named by PLIXHOME. Every case, the
# floor included, runs under the same LD_PRELOAD, so the floor carries the
# wrapper's start-up cost as well.
set -euo pipefail

runs=${RUNS:-50}
build=1
while [ $# -gt 0 ]; do
  case $1 in
    -n) runs=${2:?-n needs a number}; shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "usage: $0 [-n RUNS] [--no-build]" >&2; exit 1 ;;
  esac
done
case $runs in '' | *[!0-9]* | 0) echo "bad number of runs: $runs" >&2; exit 1 ;; esac

top=$(cd "$(dirname "$0")/.." && pwd)
bdir="$top/build-bench"
if [ "$build" = 1 ]; then
  cmake -S "$top" -B "$bdir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLIX_BENCH=ON \
    -DPLIX_TESTS=OFF > /dev/null
  cmake --build "$bdir" --target layoutgen gen_large_class spawn_timer -j 2 > /dev/null
fi
for prog in layoutgen gen_large_class spawn_timer; do
  if [ ! -x "$bdir/$prog" ]; then
    echo "missing $bdir/$prog: run without --no-build" >&2
    exit 1
  fi
done
if ! grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$bdir/CMakeCache.txt"; then
  echo "warning: $bdir is not a Release build" >&2
fi

wrapper=$(ls /usr/lib/*/libnss_wrapper.so /usr/lib/libnss_wrapper.so 2> /dev/null | head -n 1 || true)
if [ -z "$wrapper" ]; then
  echo "nss_wrapper is missing: apt-get install libnss-wrapper" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$top/examples/home" "$work/sample"
find "$work/sample" -name .keep -delete
"$bdir/gen_large_class" "$work/large"

# The current user plays the web server's account named in conf/http_user.
cat > "$work/passwd" << PW
plix:x:4242:4242:database:$work/sample:/bin/sh
www-data:x:$(id -u):$(id -g):web server:/var/www:/bin/sh
PW
cat > "$work/group" << GR
plix:x:4242:
www-data:x:$(id -g):
GR
unset PLIXHOME REMOTE_USER HTTP_USER_AGENT
nss=(LD_PRELOAD="$wrapper" NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group")
lg="$bdir/layoutgen"


# name | target ratio (empty for the floor) | PLIXHOME (empty: plix's home) | command
cases=(
  "floor /bin/true||| /bin/true"
  "sample submit|2|| $lg -a submit -c software"
  "sample modify|2|| $lg -a modify -i ABCde00001"
  "sample transition N->R|2|| $lg -a transition -i ABCde00001 -s R"
  "sample query|2|| $lg -a query -c software"
  "large submit|10|$work/large| $lg -a submit -c large"
  "large modify|10|$work/large| $lg -a modify -i ABCde00001"
  "large transition A->K|10|$work/large| $lg -a transition -i ABCde00001 -s K"
  "large query|10|$work/large| $lg -a query -c large"
)

# One checked run of each case first (which also warms the file cache): a
# case that fails stops the benchmark before anything is timed.
timer_args=()
for c in "${cases[@]}"; do
  IFS='|' read -r name target home cmd <<< "$c"
  read -r -a argv <<< "$cmd"
  envs=("${nss[@]}")
  [ -z "$home" ] || envs+=(PLIXHOME="$home")
  if ! env "${envs[@]}" "${argv[@]}" > /dev/null 2> "$work/err"; then
    echo "FAILED: $name: ${argv[*]}" >&2
    cat "$work/err" >&2
    exit 1
  fi
  if [ -s "$work/err" ]; then
    echo "note: $name writes to stderr: $(head -c 200 "$work/err")" >&2
  fi
  [ ${#timer_args[@]} -eq 0 ] || timer_args+=(---)
  timer_args+=("${envs[@]}" "${argv[@]}")
done

# The timing proper: all cases round-robin in one spawn_timer process, so a
# change in the machine's load during the run falls on every case alike.
mapfile -t medians < <("$bdir/spawn_timer" "$runs" "${timer_args[@]}")
if [ ${#medians[@]} -ne ${#cases[@]} ]; then
  echo "FAILED: the timer gave ${#medians[@]} results for ${#cases[@]} cases" >&2
  exit 1
fi

echo "layoutgen benchmark: median wall time of $runs runs per case ($bdir)"
echo "Every case, the floor included, runs under LD_PRELOAD=$wrapper,"
echo "so the floor carries nss_wrapper's start-up cost too."
echo
printf '%-26s %10s %8s %8s  %s\n' case "median ms" ratio target verdict
floor=${medians[0]}
missed=0
for k in "${!cases[@]}"; do
  IFS='|' read -r name target home cmd <<< "${cases[$k]}"
  ms=${medians[$k]}
  if [ "$k" = 0 ]; then
    printf '%-26s %10.3f %8s\n' "$name" "$ms" 1.00
    continue
  fi
  ratio=$(awk -v a="$ms" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')
  verdict=$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t ? "ok" : "MISSED") }')
  [ "$verdict" = ok ] || missed=$((missed + 1))
  printf '%-26s %10.3f %8s %7sx  %s\n' "$name" "$ms" "$ratio" "$target" "$verdict"
done
echo
if [ "$missed" -gt 0 ]; then
  echo "$missed case(s) above their target (sample class: 2x the floor, large class: 10x)."
else
  echo "All cases within their targets (sample class: 2x the floor, large class: 10x)."
fi
