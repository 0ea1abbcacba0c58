#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server (1280x1024x24), and always stops
# the server afterwards, whatever the command's outcome. Used by `make test`; stands in for
# xvfb-run, which leaves its server running when its own clean-up fails.
set -u
display=""
for n in $(seq 90 160); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 100); do
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then display=":$n"; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$display" ] && break
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
done
if [ -z "$display" ]; then
  echo "with-xvfb: could not start Xvfb" >&2
  exit 1
fi
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
# Clients that connect in the first moments after the server starts now and then see a
# default screen with no usable modes; give it a second.
sleep 1
DISPLAY="$display" "$@"
