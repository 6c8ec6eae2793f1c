#!/bin/sh
# screenshot_faults.sh CASE SELVANE MODEL WORKDIR
# Runs the program as a user would in one hostile situation and checks that it ends with a
# message and a non-zero exit, never a crash, a hang, a file under another name, a lost or
# truncated picture, or success with nothing written.
set -u
case_name=$1 selvane=$2 model=$3 work=$4/$1
rm -rf "$work" && mkdir -p "$work" || exit 1
out=$work/view.png
log=$work/messages.txt

fail() { echo "FAIL ($case_name): $*"; cat "$log" 2>/dev/null; exit 1; }

# run EXPECTED_EXIT COMMAND...: the command, bounded in time, its messages into $log.
run() {
  expected=$1; shift
  timeout 60 "$@" >"$log" 2>&1
  rc=$?
  [ $rc -eq 124 ] && fail "did not end within 60 s"
  [ $rc -ge 128 ] && fail "killed by signal $((rc - 128))"
  [ $rc -eq "$expected" ] || fail "exit $rc, expected $expected"
}
says() { grep -q -- "$1" "$log" || fail "no message \"$1\""; }
one_line() { [ "$(wc -l <"$log")" -eq 1 ] || fail "not one line"; }
no_temp() { [ -z "$(ls -A "$work" | grep '^\.')" ] || fail "temporary file left: $(ls -A "$work")"; }

case $case_name in
no_display)
  for args in "--screenshot $out $model" "$model"; do
    # shellcheck disable=SC2086
    run 1 env -u DISPLAY -u QT_QPA_PLATFORM "$selvane" $args
    one_line; says "no display: set DISPLAY or run under xvfb-run"
  done
  run 1 env -u QT_QPA_PLATFORM DISPLAY=:7999 "$selvane" --screenshot "$out" "$model"
  says "no display: set DISPLAY or run under xvfb-run"
  [ ! -e "$out" ] || fail "a picture was written"
  ;;
empty_name)
  run 2 "$selvane" --screenshot "" "$model"
  says "usage: selvane"
  ;;
not_a_file)
  run 1 "$selvane" --screenshot /dev/full "$model"
  says "Cannot write '/dev/full': it is not a regular file"
  run 1 "$selvane" --screenshot /proc/selvane-view.png "$model"
  says "Cannot write '/proc/selvane-view.png'"
  ;;
size_limit)
  printf 'the old picture' >"$out"
  # 8 blocks of 512 bytes: far less than a picture of the window.
  run 1 sh -c 'ulimit -f 8 && exec "$0" --screenshot "$1" "$2"' "$selvane" "$out" "$model"
  says "Cannot write '$out': File too large"
  [ "$(cat "$out")" = "the old picture" ] || fail "the old picture was changed"
  no_temp
  ;;
odd_name)
  name=$(printf 'view-\377\376.png')
  run 0 "$selvane" --screenshot "$work/$name" "$model"
  [ -s "$work/$name" ] || fail "no picture under the name given: $(ls -A "$work")"
  [ "$(ls -A "$work" | wc -l)" -eq 2 ] || fail "other files written: $(ls -A "$work")"
  ;;
offscreen)
  # With a display to borrow, Qt's offscreen platform makes a context that draws nothing;
  # without one it makes none.
  run 1 env QT_QPA_PLATFORM=offscreen "$selvane" --screenshot "$out" "$model"
  says "the 3-D view could not be drawn"
  run 1 env -u DISPLAY QT_QPA_PLATFORM=offscreen "$selvane" --screenshot "$out" "$model"
  says "the 3-D view could not be drawn: the display gives no OpenGL context"
  [ ! -e "$out" ] || fail "a picture was written"
  no_temp
  ;;
*)
  fail "unknown case"
  ;;
esac
echo "ok ($case_name)"
