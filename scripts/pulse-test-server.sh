#!/usr/bin/env bash
# A private PulseAudio server for tests and benchmarks on a machine without a
# sound card: a null sink as default output and a FIFO-fed pipe source
# (16 kHz mono s16le) as the microphone.
#
#   scripts/pulse-test-server.sh start DIR   starts it below DIR and prints
#                                            the environment to use (KEY=VALUE
#                                            lines, also in DIR/env)
#   scripts/pulse-test-server.sh stop DIR    stops it by its PID
#
# Write speech (16 kHz mono s16le) into DIR/mic.fifo to feed the microphone;
# the source delivers nothing while the FIFO is idle, so follow speech with
# silence.  The microphone is "varnelo_mic" (description VarneloMic), the
# default source: a remapped copy of the pipe source "varnelo_pipe", because
# a Qt audio source never finishes opening on the bare pipe source.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

stop_server() {
  local pidfile="$dir/pulse.pid"
  [ -f "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

case "$cmd" in
  start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    stop_server
    mkdir -p "$dir/runtime" "$dir/home" "$dir/config"
    chmod 0700 "$dir/runtime"
    sock="$dir/runtime/native"
    fifo="$dir/mic.fifo"
    # The pipe source makes the FIFO itself.
    rm -f "$sock" "$fifo"
    cat >"$dir/server.pa" <<EOF
.fail
load-module module-native-protocol-unix auth-anonymous=1 socket=$sock
load-module module-null-sink sink_name=varnelo_out sink_properties=device.description=VarneloOut
load-module module-pipe-source source_name=varnelo_pipe file=$fifo format=s16le rate=16000 channels=1 source_properties=device.description=VarneloPipe
load-module module-remap-source source_name=varnelo_mic master=varnelo_pipe source_properties=device.description=VarneloMic
set-default-sink varnelo_out
set-default-source varnelo_mic
EOF
    export XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" HOME="$dir/home" \
      XDG_CONFIG_HOME="$dir/config" PULSE_SERVER="unix:$sock"
    # Foreground process of a background job, so its PID is ours to stop.
    pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 \
      --use-pid-file=no --disallow-exit --log-target=file:"$dir/pulse.log" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/pulse.pid"
    for _ in $(seq 1 100); do
      [ -S "$sock" ] && break
      kill -0 "$(cat "$dir/pulse.pid")" 2>/dev/null || { echo "pulseaudio failed, see $dir/pulse.log" >&2; exit 1; }
      sleep 0.02
    done
    [ -S "$sock" ] || { echo "pulseaudio did not come up" >&2; stop_server; exit 1; }
    {
      echo "PULSE_SERVER=unix:$sock"
      echo "XDG_RUNTIME_DIR=$dir/runtime"
      echo "PULSE_RUNTIME_PATH=$dir/runtime"
      echo "HOME=$dir/home"
      echo "XDG_CONFIG_HOME=$dir/config"
      echo "VARNELO_MIC_FIFO=$fifo"
      echo "VARNELO_MIC_SOURCE=varnelo_mic"
    } | tee "$dir/env"
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
