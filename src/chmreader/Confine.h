#pragma once
// The walls the reader puts up around itself before it decodes a byte of a help file, so that
// a file that takes over the decompression library gains nothing: it can read its file and
// answer on its socket, and do nothing else.
#include <cstdint>
#include <sys/types.h>

namespace qvx::chmreader {

struct Confinement
{
    int file = -1;         // the help file, read-only
    int socket = -1;       // the one line to the program
    pid_t parent = -1;     // the program; the reader ends with it
    int alsoRead = -1;     // the file again, where the library opened it for itself
    bool allWalls = false; // namespaces even where Landlock does their work: for tests
};

// Gives up root's privileges, enters a Landlock domain (or, where the system has none that
// covers the network, empty namespaces), closes every other descriptor, sets the resource
// limits and installs the system call filter. Builds with the sanitizers keep standard error
// for their reports. Returns the walls in force (Layer bits); those the system lacks are left
// out and the others still hold.
std::uint32_t confine(const Confinement &what);

} // namespace qvx::chmreader
