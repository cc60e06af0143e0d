# Runs in the 32-bit machine (scripts/run32), in the staged folder X:: each
# test program named, in turn, on one wineserver (a Wine start costs tens of
# seconds here). Prints "== NAME", its output, then "== NAME: passed|FAILED
# (status S) in N s"; the exit status is the number that failed.
#   guest-unit.sh SECONDS-EACH NAME.exe...
set -u
limit=$1
shift
# The pass-through library's tests and buslook's take WNASPI32.DLL from the
# folder, not Wine's builtin; nothing else here loads it.
export WINEDLLOVERRIDES=wnaspi32=n
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1
# Every program opens on the prefix's virtual desktop, which Wine closes when
# its last program ends: a holder keeps it up for the whole batch, so that no
# test waits for a desktop (and its input thread) to start.
wine korvexprobe.exe hold </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 100); do
  wine korvexprobe.exe taskbar </dev/null >/dev/null 2>&1 && break
  sleep 0.5
done
failed=0
for name in "$@"; do
  echo "== $name"
  started=$(date +%s)
  timeout -k 5 "$limit" wine "$name" </dev/null 2>&1 | tr -d '\r'
  status=${PIPESTATUS[0]}
  took=$(( $(date +%s) - started ))
  if [ "$status" -eq 0 ]; then
    echo "== $name: passed in $took s"
  else
    echo "== $name: FAILED (status $status) in $took s"
    failed=$((failed + 1))
  fi
done
wineserver -k
exit "$failed"
