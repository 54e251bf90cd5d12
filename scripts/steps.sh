# Sourced by the scripts so that each says one line per step: the tools' own output goes to a log
# under build/logs/, and a step that fails prints the log's last lines and where the log is.
logs=${LEXORN_BUILD_DIR:-$root/build}/logs
mkdir -p "$logs"

say() { echo "$(basename "$0"): $*"; }

# quietly LOG COMMAND...: runs the command with its output in build/logs/LOG.log.
quietly() {
  local log=$logs/$1.log
  shift
  "$@" >"$log" 2>&1 && return 0
  local status=$?
  say "failed ($*); the last lines of $log:" >&2
  tail -n 30 "$log" | sed 's/^/  /' >&2
  return "$status"
}
