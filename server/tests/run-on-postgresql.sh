#!/usr/bin/env bash
# Runs a test binary against a throw-away PostgreSQL cluster: pg_virtualenv makes one in a
# temporary folder (also as root), points the PG* variables at it and drops it afterwards.
# The cluster can be stopped and started by the tests with pg_ctlcluster $CORVANE_TEST_POSTGRESQL_CLUSTER.
# A missing server is a failure with its reason, never a skipped suite.
set -uo pipefail
if ! command -v pg_virtualenv >/dev/null; then
    echo "FAILED: pg_virtualenv not found; install postgresql-15 and postgresql-common (scripts/setup-deps.sh)" >&2
    exit 1
fi
if ! ls /usr/lib/postgresql/*/bin/pg_ctl >/dev/null 2>&1; then
    echo "FAILED: no PostgreSQL server installed; install postgresql-15 (scripts/setup-deps.sh)" >&2
    exit 1
fi
binary=$1
shift
exec pg_virtualenv -t -- sh -c '
    if ! psql -Atc "select 1" >/dev/null; then
        echo "FAILED: the throw-away PostgreSQL cluster does not answer" >&2
        exit 1
    fi
    export CORVANE_TEST_POSTGRESQL=postgresql:// CORVANE_TEST_POSTGRESQL_CLUSTER="$PGVERSION regress"
    exec "$0" "$@"' "$binary" "$@"
