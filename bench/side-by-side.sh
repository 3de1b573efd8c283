# Sourced by the benchmarks that time the program against reference tools in one run.

# The smaller and the larger of a figure so far ("" at first) and a new one.
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
most() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b > a) ? b : a }'; }

# Calls the caller's function one_round ROUNDS times (default 3), with $round set.
in_rounds() {
  for round in $(seq "${ROUNDS:-3}"); do
    one_round
  done
}

# Runs two commands (each one word, a function) one after the other: in odd rounds as
# given, in even ones the other way round. A step that follows the removal of large files
# finds memory at hand and runs faster, so the same step of this build and of the
# baseline run next to each other and neither always comes first. An empty second word
# runs the first alone.
both() {
  if [ -z "${2:-}" ]; then
    "$1"
  elif [ $((round % 2)) -eq 1 ]; then
    "$1"; "$2"
  else
    "$2"; "$1"
  fi
}
