#pragma once
// How a request to a help file's reader ended, as far as its caller needs to know. The
// protocol's own status stays between reader and client: it cannot tell a changed file or a
// reader that failed to answer.

namespace qvx::chmreader {

enum class Outcome {
    Ok,
    NotFound,   // the file has no such object
    TooLarge,   // the object is larger than the caller's limit
    Unreadable, // this object could not be read (the reader failed or was ended)
    CannotOpen, // nothing can be read: the file is missing, not a help file, or no reader runs
    Changed,    // the file is no longer the one opened: open it again
};

} // namespace qvx::chmreader
