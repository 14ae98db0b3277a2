# Sourced by the end-to-end scripts.
# Waits up to $2 seconds (default 60) for a visible window named exactly $1 and
# prints its id. One "xdotool search --sync" is not enough: a window that goes
# away while xdotool walks the tree (the game's GL probe makes and drops one)
# ends xdotool with an X error, so each look is a fresh search.
find_window() {
  local name=$1 limit=${2:-60} ids
  local end=$((SECONDS + limit))
  while [ "$SECONDS" -lt "$end" ]; do
    ids=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null) || ids=
    if [ -n "$ids" ]; then
      printf '%s\n' "$ids" | head -1
      return 0
    fi
    sleep 0.2
  done
  return 1
}
