#!/usr/bin/env bash
# Runs a command against a throw-away PostgreSQL cluster: initdb's a temporary folder, starts
# the server on a Unix socket in that folder (no TCP port, so parallel runs never clash),
# exports WS_PG_URL for the command, and always stops and removes the cluster afterwards.
# The server refuses to run as root, so under root (CI) it runs as the system user wspg,
# created when missing; the command itself runs as the caller.
# Usage: scripts/with_postgres.sh CMD [ARG...]
set -euo pipefail

if [ "$#" -eq 0 ]; then
  echo "usage: $0 CMD [ARG...]" >&2
  exit 2
fi

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "with_postgres.sh: no PostgreSQL server found (scripts/deps.sh test installs it)" >&2
  exit 1
fi

as_server=()
if [ "$(id -u)" -eq 0 ]; then
  if ! id wspg >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin wspg
  fi
  as_server=(runuser -u wspg --)
fi

# Short path: a Unix socket path must stay under about 100 bytes.
cluster=$(mktemp -d /tmp/wspg.XXXXXX)
chmod 755 "$cluster"
[ "${#as_server[@]}" -gt 0 ] && chown wspg "$cluster"

cleanup() {
  "${as_server[@]}" "$bindir/pg_ctl" -D "$cluster/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$cluster"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"${as_server[@]}" "$bindir/initdb" -D "$cluster/data" -U ws --auth=trust -E UTF8 \
  --locale=C.UTF-8 >"$cluster/initdb.log" 2>&1 || {
  cat "$cluster/initdb.log" >&2
  exit 1
}
# Durability is worthless for a cluster that is deleted afterwards; skipping it makes the
# tests' many small transactions cheap.
"${as_server[@]}" "$bindir/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -s \
  -o "-k $cluster -c listen_addresses= -c fsync=off -c synchronous_commit=off \
      -c full_page_writes=off -c max_connections=200" start || {
  cat "$cluster/server.log" >&2
  exit 1
}
"${as_server[@]}" "$bindir/createdb" -h "$cluster" -U ws ws

export WS_PG_URL="postgresql://ws@/ws?host=$cluster"
set +e
"$@"
status=$?
set -e
exit "$status"
