#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests, from Debian's `postgresql` package: its data
# and its Unix socket lie in one folder, it listens on no TCP port, and it runs as an
# unprivileged user (nobody when started by root, as in CI; the caller otherwise).
#
#   pg-test-cluster.sh start DIR     creates the cluster in DIR (once) and starts it;
#                                    prints the connection URI
#   pg-test-cluster.sh stop DIR      stops it (fast shutdown); DIR stays
#   pg-test-cluster.sh run -- CMD... starts a cluster in a fresh temporary folder, runs CMD
#                                    with VESKA_TEST_POSTGRES_URI and VESKA_TEST_PG_DIR set,
#                                    stops the cluster and removes the folder
#
# Without the server programs it exits 77 (a skip for ctest), except under CI=true, where a
# missing server is a failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
port=5432  # names the socket file only: the socket folder is private to the cluster

bindir=""
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do
  [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ] && bindir="$candidate"
done
if [ -z "$bindir" ]; then
  echo "pg-test-cluster: no PostgreSQL server found (Debian package postgresql)" >&2
  [ "${CI:-}" = "true" ] && exit 1
  exit 77
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

uri_of() { echo "postgresql:///postgres?host=$1&port=$port&user=veska"; }

start() {
  local dir="$1"
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown nobody: "$dir"
  chmod 700 "$dir"
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    as_owner "$bindir/initdb" -D "$dir/data" -U veska --auth=trust -E UTF8 --no-sync \
      --no-locale >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; return 1; }
  fi
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 120 \
    -o "-k $dir -c listen_addresses= -p $port -F" start >/dev/null ||
    { cat "$dir/server.log" >&2; return 1; }
  uri_of "$dir"
}

stop() {
  local dir="$1"
  [ -f "$dir/data/postmaster.pid" ] || return 0
  as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w -t 120 stop >/dev/null
}

case "${1:-}" in
  start) start "${2:?folder}" ;;
  stop) stop "${2:?folder}" ;;
  run)
    shift
    [ "${1:-}" = "--" ] && shift
    dir="$(mktemp -d "${TMPDIR:-/tmp}/veska-pg.XXXXXX")"
    trap 'stop "$dir" || true; rm -rf "$dir"' EXIT
    uri="$(start "$dir")"
    VESKA_TEST_POSTGRES_URI="$uri" VESKA_TEST_PG_DIR="$dir" VESKA_TEST_PG_SCRIPT="$here/pg-test-cluster.sh" "$@"
    ;;
  *)
    echo "usage: $0 start DIR | stop DIR | run -- COMMAND..." >&2
    exit 2
    ;;
esac
