#!/bin/sh
# Runs the local login and world servers on 127.0.0.1 beside the client and stops them when
# the client ends (also on Ctrl+C). Usage: scripts/play.sh GAME-PROGRAM [client arguments]
# Accounts and characters are kept in the per-user data folder (OSTREVANE_DATA overrides).
# LOGIN_PORT / WORLD_PORT choose the ports (3550 / 3551).
set -u
game=${1:?usage: scripts/play.sh GAME-PROGRAM [arguments]}
shift
here=$(cd "$(dirname "$0")/.." && pwd)
data=${OSTREVANE_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/Ostrevane/devserver}
login_port=${LOGIN_PORT:-3550}
world_port=${WORLD_PORT:-3551}
mkdir -p "$data" || exit 1
log="$data/server.log"

cd "$here" || exit 1
# The server reads the credential texts from the demo locale the client's archive is made of.
/usr/bin/python3 -m devserver --login-port "$login_port" --world-port "$world_port" --data "$data" \
  --world-scenario players=1,creatures=1 >"$log" 2>&1 &
server=$!

stop_server() {
  if kill -0 "$server" 2>/dev/null; then
    kill -TERM "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
}
trap 'stop_server; exit 130' INT TERM
trap stop_server EXIT

# Wait until both ports are listening, or the server has given up (a busy port: exit code 3).
tries=0
until grep -q '^world ' "$log" 2>/dev/null; do
  if ! kill -0 "$server" 2>/dev/null; then
    wait "$server"
    code=$?
    if [ "$code" -eq 3 ]; then
      echo "play: port $login_port or $world_port on 127.0.0.1 is already in use (is another 'make play' running?)" >&2
    else
      echo "play: the local server did not start (exit code $code); see $log" >&2
    fi
    exit 1
  fi
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "play: the local server did not start within 10 s; see $log" >&2
    exit 1
  fi
  sleep 0.1
done
echo "play: local servers on 127.0.0.1:$login_port (login) and :$world_port (world), data in $data"

"$game" "$@"
status=$?
stop_server
exit $status
