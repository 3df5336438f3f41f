# Sourced by scripts/test: stages that each end as passed, failed or not run,
# and the closing summary of them all.
kavr_stage_lines=()
kavr_stage_failed=0
kavr_stage_result_file=$(mktemp)

# stage_result TEXT, inside a stage: what it found ("124 passed"); the last
# one said stands.
stage_result() {
  printf '%s' "$1" >"$kavr_stage_result_file"
}

# run_stage NAME FUNCTION: runs FUNCTION in a shell of its own that stops at
# the first failing command.
run_stage() {
  local name=$1 function=$2 stage_started=$SECONDS status result
  echo "== $name"
  : >"$kavr_stage_result_file"
  (set -e; "$function")
  status=$?
  result=$(cat "$kavr_stage_result_file")
  [ -n "$result" ] || [ "$status" -eq 0 ] || result="see the output above"
  if [ "$status" -eq 0 ]; then
    kavr_stage_lines+=("$name: passed${result:+ ($result)}, $((SECONDS - stage_started)) s")
  else
    kavr_stage_failed=1
    kavr_stage_lines+=("$name: FAILED${result:+ ($result)}, $((SECONDS - stage_started)) s")
  fi
  return 0
}

stage_not_run() {
  kavr_stage_lines+=("$1: not run ($2)")
}

# stage_note NAME TEXT SECONDS: a step that is neither passed nor failed.
stage_note() {
  kavr_stage_lines+=("$1: $2, $3 s")
}

# ctest_summary LOG: "124 passed" or "118 passed, 6 failed" from ctest's output.
ctest_summary() {
  local line total failed
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    echo "no test summary from ctest"
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  if [ "$failed" -eq 0 ]; then
    echo "$total passed"
  else
    echo "$((total - failed)) passed, $failed failed"
  fi
}

# gtest_reports_summary BUILD_DIR: the test cases counted from the GoogleTest
# reports that each Windows test program left (one program is one ctest test
# under wine).
gtest_reports_summary() {
  local tests=0 failures=0 programs=0 report counts
  while IFS= read -r report; do
    counts=$(grep -o -m 1 '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*"' "$report" |
      sed -E 's/.*tests="([0-9]+)" failures="([0-9]+)" disabled="[0-9]+" errors="([0-9]+)"/\1 \2 \3/')
    [ -n "$counts" ] || continue
    set -- $counts
    tests=$((tests + $1))
    failures=$((failures + $2 + $3))
    programs=$((programs + 1))
  done < <(find "$1/tests" -path '*-run/*.xml' 2>/dev/null)
  if [ "$failures" -eq 0 ]; then
    echo "$tests passed in $programs test programs"
  else
    echo "$((tests - failures)) passed, $failures failed in $programs test programs"
  fi
}

# stage_summary TOTAL_SECONDS: every stage's line, then exits 0 only if every
# stage that ran passed.
stage_summary() {
  rm -f "$kavr_stage_result_file"
  echo
  echo "== Summary"
  printf '  %s\n' "${kavr_stage_lines[@]}" "total: $1 s"
  if [ "$kavr_stage_failed" -ne 0 ]; then
    echo "Some stages FAILED."
    exit 1
  fi
  echo "Every stage that ran passed."
  exit 0
}
