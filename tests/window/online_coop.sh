#!/usr/bin/env bash
# Online co-op on one machine, as online versus is tested: both sides' fights
# recorded alike and verifying.
exec bash "$(dirname "$0")/online.sh" "$1" --coop
