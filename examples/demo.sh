#!/usr/bin/env bash
# Shows the programs at work on a copy of the sample database home.
#
# The programs need a Unix account named "plix" and look up the web server's
# account. So that the demo touches neither the machine's user database nor
# the sample files, it runs them under nss_wrapper with a passwd file of its
# own: "plix" owns a temporary copy of examples/home, and the current user
# plays the web server's account "www-data".
set -euo pipefail

build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
layoutgen="$top/$build/layoutgen"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/home" "$work/home"
find "$work/home" -name .keep -delete

wrapper=$(ls /usr/lib/*/libnss_wrapper.so /usr/lib/libnss_wrapper.so 2>/dev/null | head -n 1 || true)
if [ -z "$wrapper" ]; then
  echo "nss_wrapper is missing: apt-get install libnss-wrapper" >&2
  exit 1
fi
cat > "$work/passwd" <<PW
plix:x:4242:4242:database:$work/home:/bin/sh
www-data:x:$(id -u):$(id -g):web server:/var/www:/bin/sh
PW
cat > "$work/group" <<GR
plix:x:4242:
www-data:x:$(id -g):
GR

run() {
  echo "\$ layoutgen $*"
  set +e
  LD_PRELOAD="$wrapper" NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group" \
    ASAN_OPTIONS=verify_asan_link_order=0 "$layoutgen" "$@" > "$work/out" 2> "$work/err"
  local status=$?
  set -e
  # The separator bytes made visible: 0x1C as [FS], 0x1E as [RS].
  if [ -s "$work/out" ]; then
    echo "stdout:"
    sed "s/\x1c/[FS]/g; s/\x1e/[RS]/g; s|$work/home|\$PLIXHOME|g; s/^/  /" "$work/out"
  fi
  if [ -s "$work/err" ]; then echo "stderr:"; sed "s|$layoutgen|layoutgen|; s/^/  /" "$work/err"; fi
  echo "exit status: $status"
  echo
}

echo "== Sample database home: $here/home (run on a temporary copy)"
echo
echo "== The usage text, for a command line that names no class"
run -a submit
echo "== An unknown browser name is reported, and the run goes on"
run -a cached_query -b lynx
echo "== cached_query succeeds only as the web server's account (named in conf/http_user)"
run -a cached_query
echo "== A transition needs exactly one state letter"
run -a transition -i ABCde00001 -s AB
echo "== Conflicting options are refused in either order"
run -i ABCde00001 -c software

echo "== The submit form of the class 'software' (verbose: a dashed line before each field,"
echo "   the group definitions as written, and the loaded picklists at the end)"
run -a submit -c software -v
echo "== The modify form of record ABCde00001: the record's values as defaults"
run -a modify -i ABCde00001
echo "== The form for moving ABCde00001 from N (new) to R (resolved): the path passes A"
run -a transition -i ABCde00001 -s R
echo "== The query form: fields named in etc/cache_conf, states with their descriptions"
run -a query -c software -b MSIE
