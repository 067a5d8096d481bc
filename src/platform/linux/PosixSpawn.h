#pragma once

#include "qvx/core/Platform.h"

#include <string>
#include <vector>

namespace qvx::posix {

// Starts `command` (its first word is the program's path) in `workingFolder`, all as the
// bytes the system takes, with standard input from the null device, and does not wait.
// The program is no child of ours: nothing is left to reap. A failure to change folder or
// to execute comes back as a FileAccess result naming the step.
OpResult startDetached(const std::vector<std::string> &command, const std::string &workingFolder);

} // namespace qvx::posix
