#pragma once

namespace qvx {
class LinuxPlatform;
}

namespace qvx::app {

// F1 in any window of the program opens the application's help file at its contents, as
// the system's own handling of the help key does.
void installHelpKey(LinuxPlatform &platform);

} // namespace qvx::app
