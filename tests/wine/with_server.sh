#!/bin/bash
# Usage: with_server.sh [--pages SRC] DIR COMMAND [ARGS...]
# Runs COMMAND beside a content server of its own on 127.0.0.1 (a free port)
# that serves DIR/root (a copy of SRC, else empty), reads its fault rules
# from DIR/rules.json and logs
# every request to DIR/requests.log. The test learns where from
# TARNHOLD_CONTENT_TEST_URL and TARNHOLD_CONTENT_TEST_DIR (DIR as a Wine path).
# The exit code is COMMAND's.
set -euo pipefail
pages=
if [[ ${1:-} == --pages ]]; then
    pages=$2
    shift 2
fi
[[ $# -ge 2 ]] || { echo "usage: ${0##*/} [--pages SRC] DIR COMMAND [ARGS...]" >&2; exit 125; }
dir=$1
shift
here=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$dir"
mkdir -p "$dir/root"
[[ -z $pages ]] || cp -r "$pages/." "$dir/root/"
dir=$(cd "$dir" && pwd -P)

# Its own stdio goes to a file: a server holding ctest's pipe would keep
# ctest waiting after the test is over.
python3 "$here/tools/content_server.py" --root "$dir/root" --port 0 --port-file "$dir/port" \
    --log "$dir/requests.log" --rules "$dir/rules.json" --max-seconds 900 \
    </dev/null >"$dir/server.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT

deadline=$(( $(date +%s) + 20 ))
until [[ -s $dir/port ]]; do
    if ! kill -0 "$server" 2>/dev/null; then
        echo "${0##*/}: the content server ended:" >&2
        cat "$dir/server.out" >&2
        exit 125
    fi
    if (( $(date +%s) >= deadline )); then
        echo "${0##*/}: the content server did not listen within 20 s" >&2
        exit 125
    fi
    sleep 0.05
done
: >"$dir/requests.log"
TARNHOLD_CONTENT_TEST_URL="http://127.0.0.1:$(cat "$dir/port")"
TARNHOLD_CONTENT_TEST_DIR="Z:${dir//\//\\}"
export TARNHOLD_CONTENT_TEST_URL TARNHOLD_CONTENT_TEST_DIR

set +e
"$@"
status=$?
set -e
echo "requests the server saw:"
sed 's/^/  /' "$dir/requests.log"
if [[ -s $dir/server.out ]]; then
    echo "the server said:"
    sed 's/^/  /' "$dir/server.out"
fi
exit "$status"
