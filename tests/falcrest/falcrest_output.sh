# Sourced by the Wine tests of falcrest.exe, which define fail() and keep each run's standard
# output in <folder>/<name>.out.

# expect_output FOLDER NAME TEXT: the output of run NAME is the stop step's line (the spooler
# may or may not be running when a run starts) followed by TEXT (printf escapes), byte for byte.
expect_output() {
  local folder=$1 name=$2 first
  first=$(head -n 1 "$folder/$name.out")
  case "$first" in
    "Service is already stopped." | "Service stopped successfully") ;;
    *) fail "$name: first line '$first' is no stop of the spooler" ;;
  esac
  { printf '%s\n' "$first"; printf "$3"; } >"$folder/$name.expected"
  cmp -s "$folder/$name.out" "$folder/$name.expected" ||
    fail "$name: output $(od -c "$folder/$name.out"), expected $(od -c "$folder/$name.expected")"
}
