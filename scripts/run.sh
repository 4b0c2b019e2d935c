#!/usr/bin/env bash
# The short name of the live demo: scripts/demo.sh [LANGUAGE].
exec "$(dirname "$0")/demo.sh" "$@"
