#!/usr/bin/env bash
# Configures, builds and tests every preset.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset native
