# Runs in the 32-bit machine (scripts/run32), in the staged folder X:: one
# end-to-end case (tests/e2e/run-e2e) or the installer case
# (tests/release/run-release) on the 32-bit build, with the machine's 32-bit
# Wine and its prefix, which every run gets afresh.
#   guest-case.sh e2e CASE | guest-case.sh release installer VERSION
set -u
export E2E_WINE=/usr/lib/wine/wine KORVEX_WINE=/usr/lib/wine/wine
case "$1" in
  e2e)
    ln -sfn "$WINEPREFIX" build/e2e-prefix
    bash tests/e2e/run-e2e "$2" build
    ;;
  release)
    KORVEX_FRESH_PREFIX=$WINEPREFIX RELEASE_TARGET=win32 \
      bash tests/release/run-release "$2" build dist "$3"
    ;;
  *) echo "guest-case.sh: e2e or release" >&2; exit 2 ;;
esac
status=$?
rm -f build/e2e-prefix
exit "$status"
