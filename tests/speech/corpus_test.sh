#!/usr/bin/env bash
# The dictation corpus generator: the same corpus on every run (and the one
# the build made the model from), and a clear refusal of broken data files
# with nothing written.
#   corpus_test.sh PYTHON CORPUS.py BUILT_CORPUS.txt
set -euo pipefail
python=$1 generator=$2 built=$3
data=$(dirname "$generator")/corpus
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM  # a timed-out run still cleans up
fails=0 passes=0
check() {  # name, condition...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; passes=$((passes + 1)); else echo "FAIL $name"; fails=$((fails + 1)); fi
}

# Two runs with different hash seeds (set and dict order must not leak out),
# and the build's own run.
PYTHONHASHSEED=1 "$python" "$generator" > "$scratch/one.txt"
PYTHONHASHSEED=2 "$python" "$generator" > "$scratch/two.txt"
check "two runs give the same corpus" cmp -s "$scratch/one.txt" "$scratch/two.txt"
check "the build's corpus is the data files' corpus" cmp -s "$scratch/one.txt" "$built"
check "a corpus of some size" [ "$(wc -l < "$scratch/one.txt")" -gt 100000 ]
# Another seed draws other sentences from the same data.
"$python" "$generator" --sentences 2000 > "$scratch/short.txt"
"$python" "$generator" --sentences 2000 --seed 7 > "$scratch/seed7.txt"
differ() { ! cmp -s "$1" "$2"; }
check "the seed matters" differ "$scratch/short.txt" "$scratch/seed7.txt"
# No slot is left unfilled and nothing but lower-case words and apostrophes.
check "only spoken words" [ "$(grep -c "[^a-z' ]" "$scratch/one.txt" || true)" = 0 ]
# Every data file adds something: lists the others need, or templates.
mkdir -p "$scratch/without"
for f in "$data"/*.txt; do
  rm -f "$scratch/without"/*.txt
  for g in "$data"/*.txt; do [ "$g" = "$f" ] || cp "$g" "$scratch/without/"; done
  needed=no
  "$python" "$generator" --data "$scratch/without" --sentences 0 > /dev/null 2>&1 || needed=yes
  check "$(basename "$f") is needed or has templates" [ "$needed" = yes -o -n "$(grep -m1 '^\[templates\]' "$f")" ]
done

# Broken data: exit status 1, the file and line named, nothing on stdout.
# name | data file content (\n for new lines) | message
while IFS='|' read -r name content want; do
  [ -n "$name" ] || continue
  rm -rf "$scratch/bad" && mkdir "$scratch/bad"
  printf "$content" > "$scratch/bad/a.txt"
  set +e
  "$python" "$generator" --data "$scratch/bad" --sentences 10 > "$scratch/out" 2> "$scratch/err"
  rc=$?
  set -e
  if [ "$rc" != 1 ] || [ -s "$scratch/out" ] || ! grep -qF -- "$want" "$scratch/err"; then
    echo "FAIL $name: exit $rc, stdout $(wc -c < "$scratch/out") bytes, stderr: $(cat "$scratch/err")"
    fails=$((fails + 1))
  else
    echo "ok   $name"
    passes=$((passes + 1))
  fi
done <<'CASES'
a slot with no list|[a]\nx\n[templates]\n1 {a} {nope}\n|a.txt:4: no word list for {nope}
a list slot nobody defines|[a]\nx {nope}\n[templates]\n1 {a}\n|a.txt:2: no word list for {nope}
a template without weight|[a]\nx\n[templates]\n{a}\n|a.txt:4: a template is a weight
a zero weight|[a]\nx\n[templates]\n0 {a}\n|a.txt:4: a template is a weight above zero
an empty list|[a]\n[templates]\n1 x\n|[a] is empty
a list defined twice|[a]\nx\n[a]\ny\n[templates]\n1 {a}\n|a.txt:3: [a] is also defined at
a list named like a number slot|[size]\nx\n[templates]\n1 {size}\n|[size] is a number slot
a carrier without its place|[a] the entry\nx\n[templates]\n1 {a}\n|needs ... for the entry
text before any section|x\n[templates]\n1 x\n|a.txt:1: text before the first [section]
capitals|[a]\nX ray\n[templates]\n1 {a}\n|entries are lower case
an unclosed slot|[a]\nx\n[templates]\n1 {a} {b\n|a brace that is not a slot
no templates|[a]\nx y\n|no templates
templates that nest forever|[a]\n{a} x\n[templates]\n1 {a}\n|nest too deep
not UTF-8|[a]\nx\xff\n[templates]\n1 {a}\n|a.txt: not UTF-8 text
CASES
rm -rf "$scratch/empty" && mkdir "$scratch/empty"
set +e
"$python" "$generator" --data "$scratch/empty" > "$scratch/out" 2> "$scratch/err"
rc=$?
set -e
check "a folder without data files" [ "$rc" = 1 -a -n "$(grep "no corpus data files" "$scratch/err")" ]

echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
