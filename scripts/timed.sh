#!/usr/bin/env bash
# Runs a command and then says how long it took, so that a log shows where a run's time goes.
# Usage: scripts/timed.sh LABEL COMMAND...   (the status is the command's)
label=$1
shift
from=$SECONDS
status=0
"$@" || status=$?
echo "== $label: $((SECONDS - from)) s$([ $status -eq 0 ] || echo ", status $status")"
exit $status
