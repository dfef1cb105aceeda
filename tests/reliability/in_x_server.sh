#!/usr/bin/env bash
# Runs a Qt test program on a private Xvfb with Qt's X11 platform.
#   in_x_server.sh PROGRAM [ARG...]
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"
e2e_require Xvfb
e2e_init
e2e_start_x
"$@"
