#!/usr/bin/env bash
# Fails when a C++ source is not in the house style; `scripts/format` puts it right.
# Usage: e2e_format.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
"$2/scripts/format" --check | grep -v '^every file'
exit "${PIPESTATUS[0]}"
