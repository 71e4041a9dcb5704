#!/bin/sh
# What a hostile local user could leave where a run writes, set up in the run's work folder
# before the converter starts, and checked after it ended.
#   plant.sh VARIANT LOG CONVERTER ARGS...   sets up, then becomes the converter (same PID)
#   plant.sh check VARIANT LOG               prints what was harmed; exit 1 when anything was
# LOG is the case's log, copied to input.csv. Other people's things go under planted/.
set -u
capture='12:00:00.000000 IP 10.0.0.1.5000 > 10.0.0.2.80: Flags [S], length 0'
same() {
  cmp -s "$1" "$2" || echo "$1 was changed"
}
plain() {
  if [ -L "$1" ] || [ ! -f "$1" ]; then echo "$1 is not a plain file"; fi
}

if [ "$1" = check ]; then
  variant=$2
  log=$3
  problems=$(
    case $variant in
      same_path | dot_slash | hard_link) same input.csv "$log" ;;
      details_is_log) same out.dot.lumivex "$log" ;;
      dot_is_capture)
        [ "$(cat planted/capture.txt)" = "$capture" ] || echo "the capture was changed"
        ;;
      links)
        [ "$(cat planted/bashrc)" = "secret" ] || echo "the link's target was written"
        [ "$(cat planted/profile)" = "secret" ] || echo "the link's target was written"
        plain out.dot
        plain out.dot.lumivex
        ;;
      fifo) [ -p out.dot ] || echo "out.dot is no longer a FIFO" ;;
      details_fifo) [ -p out.dot.lumivex ] || echo "out.dot.lumivex is no longer a FIFO" ;;
      directory) [ -d out.dot ] && [ ! -L out.dot ] || echo "out.dot is no longer a folder" ;;
      read_only) [ "$(cat out.dot)" = "old" ] || echo "the read-only out.dot was replaced" ;;
      squatted_temp)
        [ -z "$(ls -A planted/elsewhere)" ] || echo "files went into the squatter's folder"
        # Only the squatter's link is left: the fresh folder beside it went at the end.
        set -- planted/tmp/*
        [ $# -eq 1 ] && [ -L "$1" ] || echo "left in the temporary folder: $*"
        ;;
    esac
  )
  [ -z "$problems" ] && exit 0
  echo "$problems"
  exit 1
fi

variant=$1
log=$2
shift 2
cp "$log" input.csv
mkdir planted
case $variant in
  same_path | dot_slash) ;;
  hard_link) ln input.csv out.dot ;;
  details_is_log) mv input.csv out.dot.lumivex ;;
  dot_is_capture) echo "$capture" > planted/capture.txt ;;
  links)
    echo secret > planted/bashrc
    echo secret > planted/profile
    ln -s planted/bashrc out.dot.lumivex
    ln -s "$PWD/planted/profile" out.dot
    ;;
  fifo) mkfifo out.dot ;;
  details_fifo) mkfifo out.dot.lumivex ;;
  directory) mkdir out.dot ;;
  read_only)
    echo old > out.dot
    chmod 0444 out.dot
    ;;
  squatted_temp)
    # The converter's private folder is named by its process id, which exec keeps.
    mkdir planted/tmp planted/elsewhere
    chmod 0700 planted/elsewhere
    ln -s ../elsewhere "planted/tmp/tolvek.zubl.$$-$(id -u)"
    export TMPDIR="$PWD/planted/tmp"
    ;;
  *)
    echo "unknown variant $variant" >&2
    exit 2
    ;;
esac
exec "$@"
