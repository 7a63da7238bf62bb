#!/usr/bin/env bash
# A private PostgreSQL 15 for the record's tests:
#   postgres_server.sh start DIR | stop DIR
# The data folder and the server's Unix socket live in DIR; the server
# listens on no TCP port and trusts local connections. PostgreSQL refuses to
# run as root, so under root (CI) it runs as the postgres system user, who
# owns DIR.
set -euo pipefail
action=$1
dir=$2
bin=${POSTGRES_BIN:-/usr/lib/postgresql/15/bin}

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" stop -D "$dir/data" -m fast -w >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

case $action in
start)
    stop # what a killed run left behind
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown postgres:postgres "$dir"
    if ! as_owner "$bin/initdb" -D "$dir/data" -N -U postgres --auth=trust -E UTF8 \
        >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        exit 1
    fi
    if ! as_owner "$bin/pg_ctl" start -D "$dir/data" -w -l "$dir/data/server.log" \
        -o "-c listen_addresses='' -k $dir" >/dev/null; then
        cat "$dir/data/server.log" >&2
        exit 1
    fi
    ;;
stop) stop ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
