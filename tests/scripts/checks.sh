# Shared by the test scripts (sourced): `check WHAT COMMAND...` runs COMMAND and reports it as
# WHAT, counting the failures; `checks_done` prints the count and fails if any check failed.
failures=0

check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

checks_done() {
  echo "$failures failed"
  [ "$failures" -eq 0 ]
}
