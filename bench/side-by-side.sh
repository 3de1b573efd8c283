# Sourced by the benchmarks that time the program against reference tools in one run.

# The smaller and the larger of a figure so far ("" at first) and a new one.
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
most() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b > a) ? b : a }'; }

# Calls the caller's functions ours and, when $1 (a baseline program) is not empty, theirs,
# ROUNDS times (default 3); each keeps the shortest of its times. theirs comes after ours
# in odd rounds and before it in even ones: a step that follows the removal of the other
# side's large files finds memory at hand and runs faster, so neither always gets that.
side_by_side() {
  local round
  for round in $(seq "${ROUNDS:-3}"); do
    if [ -z "$1" ]; then
      ours
    elif [ $((round % 2)) -eq 1 ]; then
      ours; theirs
    else
      theirs; ours
    fi
  done
}
