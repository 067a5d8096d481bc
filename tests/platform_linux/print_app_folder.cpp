// Writes the application folder as the platform finds it, in the system's bytes.
#include "qvx/platform/LinuxPlatform.h"

#include <cstdio>

int main()
{
    const std::string folder = qvx::LinuxPlatform().applicationFolder().native();
    return std::fwrite(folder.data(), 1, folder.size(), stdout) == folder.size() ? 0 : 1;
}
