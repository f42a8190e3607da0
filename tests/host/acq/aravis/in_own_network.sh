#!/bin/sh
# Runs a test program in a network namespace of its own with only loopback
# up, so that the camera traffic of the Aravis tests (and any discovery
# broadcast) never leaves this machine, and every test gets the loopback
# addresses to itself, with a folder of its own for what colc keeps of the
# cameras it opens (XDG_STATE_HOME). Listing the tests needs no network and
# runs as is.
# Exits 77 (skipped) where no namespace can be made, unless
# COLC_REQUIRE_CAMERA_TESTS=1.
case " $* " in
  *" --gtest_list_tests "*) exec "$@" ;;
esac
for flags in -n -rn; do
  if unshare $flags true 2>/dev/null; then
    exec unshare $flags sh -c 'ip link set lo up || exit 1
      XDG_STATE_HOME="$(mktemp -d)" || exit 1
      export XDG_STATE_HOME
      "$@"
      status=$?
      rm -rf "$XDG_STATE_HOME"
      exit $status' sh "$@"
  fi
done
echo "cannot make a network namespace (needs root or user namespaces);" \
  "the Aravis camera tests run only inside one, so that no packet leaves loopback" >&2
# CI sets COLC_REQUIRE_CAMERA_TESTS=1: there these tests must run, not skip.
[ "${COLC_REQUIRE_CAMERA_TESTS:-0}" = 1 ] && exit 1
echo "SKIPPED" >&2
exit 77
