#!/bin/sh
# Starts wine's loader ($VARNO_WINE_LOADER, the one of the build's width)
# with a fixed address-space layout; the tests run every wine program through
# it ($VARNO_WINE). Wine's 64-bit loader is linked at 0x7d000000, and Linux
# puts its heap anywhere in the gigabyte above it. Now and then (about one
# start in five thousand) the heap lies on 0x7ffe0000, where wine must map the
# shared user data: wine then ends with status 1 before the program is
# loaded, and says why only as an "err" message ("failed to map the shared
# user data: c0000018"), which the tests' WINEDEBUG silences. Without
# randomization the heap starts right after the loader, far below. Child
# processes inherit the layout. Where the personality cannot be set (some
# container sandboxes refuse it), the loader starts as it is.
loader=${VARNO_WINE_LOADER:-wine}
if setarch "$(uname -m)" -R true 2>/dev/null; then
  exec setarch "$(uname -m)" -R "$loader" "$@"
fi
exec "$loader" "$@"
