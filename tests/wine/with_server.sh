#!/bin/bash
# Usage: with_server.sh [--pages SRC] [--tls] DIR COMMAND [ARGS...]
# Runs COMMAND beside a content server of its own on 127.0.0.1 (a free port)
# that serves DIR/root (a copy of SRC, else empty), reads its fault rules
# from DIR/rules.json and logs
# every request to DIR/requests.log. The test learns where from
# TARNHOLD_CONTENT_TEST_URL and TARNHOLD_CONTENT_TEST_DIR (DIR as a Wine path).
# With --tls a second one serves the same over https, with a certificate for
# 127.0.0.1 made now (DIR/tls/cert.der, trusted by no one), logging to
# DIR/tls-requests.log; its address is TARNHOLD_CONTENT_TEST_HTTPS_URL.
# The exit code is COMMAND's.
set -euo pipefail
pages=
tls=
while [[ ${1:-} == --* ]]; do
    case $1 in
        --pages) pages=$2; shift 2 ;;
        --tls) tls=1; shift ;;
        *) echo "${0##*/}: unknown option $1" >&2; exit 125 ;;
    esac
done
[[ $# -ge 2 ]] || { echo "usage: ${0##*/} [--pages SRC] [--tls] DIR COMMAND [ARGS...]" >&2; exit 125; }
dir=$1
shift
here=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$dir"
mkdir -p "$dir/root"
[[ -z $pages ]] || cp -r "$pages/." "$dir/root/"
dir=$(cd "$dir" && pwd -P)

# Its own stdio goes to a file: a server holding ctest's pipe would keep
# ctest waiting after the test is over.
servers=()
# shellcheck disable=SC2317  # the EXIT trap runs it
stop_servers() {
    local s
    for s in "${servers[@]}"; do
        kill "$s" 2>/dev/null || true
        wait "$s" 2>/dev/null || true
    done
}
trap stop_servers EXIT

# serve NAME [ARGS...]: a server writing DIR/NAME.port, DIR/NAME.out.
serve() {
    local name=$1
    shift
    /usr/bin/python3 "$here/tools/content_server.py" --root "$dir/root" --port 0 --port-file "$dir/$name.port" \
        --rules "$dir/rules.json" --max-seconds 900 "$@" </dev/null >"$dir/$name.out" 2>&1 &
    local server=$!
    servers+=("$server")
    local deadline=$(( $(date +%s) + 20 ))
    until [[ -s $dir/$name.port ]]; do
        if ! kill -0 "$server" 2>/dev/null; then
            echo "${0##*/}: the content server ended:" >&2
            cat "$dir/$name.out" >&2
            exit 125
        fi
        if (( $(date +%s) >= deadline )); then
            echo "${0##*/}: the content server did not listen within 20 s" >&2
            exit 125
        fi
        sleep 0.05
    done
}

serve server --log "$dir/requests.log"
: >"$dir/requests.log"
TARNHOLD_CONTENT_TEST_URL="http://127.0.0.1:$(cat "$dir/server.port")"
TARNHOLD_CONTENT_TEST_DIR="Z:${dir//\//\\}"
export TARNHOLD_CONTENT_TEST_URL TARNHOLD_CONTENT_TEST_DIR
if [[ -n $tls ]]; then
    # WinINet matches the host against the names, not the addresses, among
    # the alternative names: 127.0.0.1 is in both.
    mkdir -p "$dir/tls"
    /usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 \
        -addext "subjectAltName=DNS:127.0.0.1,IP:127.0.0.1" \
        -keyout "$dir/tls/key.pem" -out "$dir/tls/cert.pem" 2>"$dir/tls/openssl.out"
    /usr/bin/openssl x509 -in "$dir/tls/cert.pem" -outform der -out "$dir/tls/cert.der"
    serve tls --log "$dir/tls-requests.log" --tls-cert "$dir/tls/cert.pem" --tls-key "$dir/tls/key.pem"
    TARNHOLD_CONTENT_TEST_HTTPS_URL="https://127.0.0.1:$(cat "$dir/tls.port")"
    export TARNHOLD_CONTENT_TEST_HTTPS_URL
fi

set +e
"$@"
status=$?
set -e
echo "requests the server saw:"
sed 's/^/  /' "$dir/requests.log"
for out in "$dir"/*.out; do
    if [[ -s $out ]]; then
        echo "the server said ($out):"
        sed 's/^/  /' "$out"
    fi
done
exit "$status"
