# Sourced by the test scripts: how they fail, skip and wait. The sourcing script sets wait_limit
# (seconds for any one wait: a bound on a hang, not a timing assertion) and may define
# fail_report to add what explains a failure.

fail() {
  echo "FAILED: $*" >&2
  if declare -F fail_report >/dev/null; then fail_report >&2; fi
  exit 1
}

# Exit code 77: ctest counts the test as skipped (SKIP_RETURN_CODE), the reason on stdout.
skip() {
  echo "SKIPPED: $*"
  exit 77
}

# Polls until the command succeeds; fails naming what it waited for once the limit has passed.
wait_for() { # what, command...
  local what=$1
  shift
  local deadline=$((SECONDS + wait_limit))
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && fail "no $what after ${wait_limit} s"
    sleep 0.05
  done
}
