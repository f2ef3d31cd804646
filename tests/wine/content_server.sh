#!/bin/bash
# Usage: content_server.sh up|down DIR PORT ROOT
# Starts (or stops) the local content server for the Wine tests on
# 127.0.0.1:PORT serving ROOT, logging every request to DIR/content.log.
set -euo pipefail
action=$1 dir=$2 port=$3 root=${4:-}
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$dir"
case $action in
  up)
    if [[ -f $dir/content.pid ]] && kill -0 "$(cat "$dir/content.pid")" 2>/dev/null; then exit 0; fi
    rm -f "$dir/content.port" "$dir/content.log" "$dir/rules.json"
    setsid python3 "$here/tools/content_server.py" --root "$root" --port "$port" \
      --port-file "$dir/content.port" --log "$dir/content.log" --rules "$dir/rules.json" \
      --max-seconds 3600 \
      </dev/null >"$dir/content.out" 2>&1 &
    echo $! >"$dir/content.pid"
    for _ in $(seq 1 200); do
      [[ -s $dir/content.port ]] && exit 0
      kill -0 "$(cat "$dir/content.pid")" 2>/dev/null || break
      sleep 0.05
    done
    echo "content server did not come up:" >&2
    cat "$dir/content.out" >&2
    exit 1
    ;;
  down)
    [[ -f $dir/content.pid ]] || exit 0
    pid=$(cat "$dir/content.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    rm -f "$dir/content.pid"
    ;;
esac
