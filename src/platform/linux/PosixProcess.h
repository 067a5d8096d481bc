#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qvx::posix {

// The first program of that name on the PATH, or empty.
std::filesystem::path findOnPath(const std::string &name);

// What runs a program file: itself for a native program or a script, wine for a Windows
// program. Refuses, without ever waiting on a FIFO, what is no program.
OpResult commandFor(const std::filesystem::path &program, std::vector<std::string> &command);

// Starts a program with empty standard input and keeps track of it. The program is never
// waited for: dropping it while it runs leaves it running, and it is still reaped when it
// ends.
OpResult startTracked(const std::filesystem::path &program,
                      const std::filesystem::path &workingFolder,
                      std::unique_ptr<TrackedProgram> &tracked);

} // namespace qvx::posix
