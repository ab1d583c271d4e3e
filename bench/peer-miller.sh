#!/usr/bin/env bash
# Fetches Debian's miller package into a scratch folder once (apt-get
# download, unpacked with dpkg-deb: nothing is installed) and runs its mlr
# with the arguments given. Miller is a yardstick for bench_rows, never a
# dependency of the project.
#
# Usage: bench/peer-miller.sh MLR_ARGUMENTS...
#   PEER_DIR: the scratch folder (default /tmp/peer-miller)
set -euo pipefail
dir=${PEER_DIR:-/tmp/peer-miller}
mlr=$dir/usr/bin/mlr
if [ ! -x "$mlr" ]; then
  mkdir -p "$dir"
  (cd "$dir" && rm -f miller_*.deb && apt-get download miller >&2 && dpkg-deb -x miller_*.deb .) ||
    { echo "peer-miller: Debian's miller package could not be fetched" >&2; exit 3; }
fi
exec "$mlr" "$@"
