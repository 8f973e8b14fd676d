// On Windows the libraries the programs call print nothing to standard error of their own:
// it is left as it is.
#include "quorvel4/debug.h"

StandardErrorToDebugSink::StandardErrorToDebugSink() {}
StandardErrorToDebugSink::~StandardErrorToDebugSink() {}
