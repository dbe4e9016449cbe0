// Linked into every fuzz target: an abort, an uncaught exception or a stop that
// the target did not catch is a finding for the driver to report (libFuzzer's
// crash report and saved input, the replay's failed test), so the layer leaves
// the process's abnormal ends alone. Designed stops are still caught where the
// target expects them, through the catching headless host.
#include "dx/shell.h"

bool dxownsfatalends() { return false; }
