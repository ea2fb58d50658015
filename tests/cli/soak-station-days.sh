#!/usr/bin/env bash
# Plays many random fixture days against the station (the days test with
# more days), under both kinds of bootloader, and prints the figures: the
# days, the boards seated, and the days on which every promise held. A day's
# seed picks its ending (the last board, one Ctrl+C, two, a record that
# fails), so the endings take turns.
# Usage: soak-station-days.sh [DAYS] [FIRST_SEED]   (in a build with tests)
set -euo pipefail
build=${BUILD_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/build}
export VARNO_DAYS=${1:-20} VARNO_DAYS_SEED=${2:-1} QT_QPA_PLATFORM=offscreen
"$build/tests/cli/test_cli" --gtest_filter='StationDays.*' | grep -E "^station days|FAILED|seed "
