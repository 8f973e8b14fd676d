#!/usr/bin/env bash
# A show folder's sandbox under wine, answered as the Linux capture answers it: each script names
# one file, and both programs must take it or refuse it with the same words. The links are Unix
# links, which wine shows to Windows programs as the files they lead to: only the real path of
# the opened file tells where it is. Then the folder named every way Windows names it.
# Usage (from the repository root): scripts/windows-show-folders.sh LINUX_CAPTURE WINDOWS_CAPTURE_EXE OUT_DIR
set -uo pipefail
linux_capture=$(realpath "$1")
windows_capture=$(realpath "$2")
out=$(realpath -m "$3")
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

rm -rf "$out" && mkdir -p "$out/show/texts" "$out/show2"
echo password >"$out/secret.txt"
echo password >"$out/show2/secret.txt"
echo words >"$out/show/texts/words.txt"
ln -s ../secret.txt "$out/show/link.txt"
ln -s "$out/secret.txt" "$out/show/absolute.txt"
ln -s ../show2/secret.txt "$out/show/twin.txt"  # "show2" begins with "show"
ln -s ../show2 "$out/show/twins"
ln -s .. "$out/show/up"
ln -s texts/words.txt "$out/show/inner.txt"
ln -s show "$out/showlink"
mkfifo "$out/show/pipe.txt"

# capture PROGRAM FOLDER: status and first line of PROGRAM's answer (wine for the Windows one).
capture() {
  local -a program=("$1")
  [[ $1 == *.exe ]] && program=(wine "$1")
  timeout 120 "${program[@]}" --show "$2" --seed 1 --times 0,500 --format cells --out "$out/frames.cells" 2>"$out/said.txt"
  echo "$? $(grep -m1 "^quorvel4-capture" "$out/said.txt")"
}

# NAME STATUS WORDS: Text(NAME) gives STATUS on both systems, and the refusal says WORDS.
while IFS='|' read -r name expected words; do
  printf 'var s = Text("%s");\nScene(0, 1000, 0, function (t) {});\n' "$name" >"$out/show/show.js"
  linux=$(capture "$linux_capture" "$out/show")
  windows=$(capture "$windows_capture" "$(winepath -w "$out/show" 2>/dev/null)")
  before=$failures
  for answer in "Linux:$linux" "Windows:$windows"; do
    system=${answer%%:*} said=${answer#*:}
    if [ "${said%% *}" != "$expected" ] || [[ $said != *"$words"* ]] || [[ $said == *password* ]]; then
      fail "$name on $system: status ${said%% *}, not $expected${words:+ with \"$words\"}: ${said#* }"
    fi
  done
  [ "$failures" = "$before" ] && echo "$name: status $expected on both${words:+, \"$words\"}"
done <<'CASES'
inner.txt|0|
texts/words.txt|0|
link.txt|1|leads out of the show's folder
absolute.txt|1|leads out of the show's folder
twin.txt|1|leads out of the show's folder
twins/secret.txt|1|leads out of the show's folder
up/secret.txt|1|leads out of the show's folder
up/show/texts/words.txt|0|
pipe.txt|1|is not a regular file
texts|1|is not a regular file
missing.txt|1|does not exist
../secret.txt|1|relative to it (no "..", no absolute path)
Z:/secret.txt|1|relative to it (no "..", no absolute path)
NUL.txt|1|Windows cannot hold this name
com1|1|Windows cannot hold this name
texts./words.txt|1|Windows cannot hold this name
.../secret.txt|1|Windows cannot hold this name
CASES

# The folder named as Windows names it: every form plays.
printf 'var s = Text("texts/words.txt");\nScene(0, 1000, 0, function (t) {});\n' >"$out/show/show.js"
windows_path=$(winepath -w "$out/show" 2>/dev/null)
upper=$(tr '[:lower:]' '[:upper:]' <<<"${windows_path#?:}")
lower_drive=$(tr '[:upper:]' '[:lower:]' <<<"${windows_path:0:1}")${windows_path:1}
for folder in "$windows_path" "$windows_path\\" "${windows_path//\\//}" "$lower_drive" "${windows_path:0:2}$upper" \
              "$out/show" "$(winepath -w "$out/showlink" 2>/dev/null)"; do
  said=$(capture "$windows_capture" "$folder")
  [ "${said%% *}" = 0 ] || fail "the folder named $folder: ${said#* }"
  echo "the folder named $folder: status ${said%% *}"
done
# Relative to the working directory, with slashes or backslashes.
for folder in show 'show\' ./show/ '.\show'; do
  said=$(cd "$out" && capture "$windows_capture" "$folder")
  [ "${said%% *}" = 0 ] || fail "the folder named $folder in $out: ${said#* }"
  echo "the folder named $folder (relative): status ${said%% *}"
done
exit $((failures > 0))
