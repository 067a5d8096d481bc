// A reader that misbehaves on purpose, as the end of its name after the last '-' says (readers
// start with an empty environment, so the tests link it under such names): "silent" never says it
// opened the file, "hang" never answers, "garbage" answers out of protocol, "huge" announces an
// answer larger than any allowed, "half" is killed halfway through its answer.
#include "qvx/chmreader/Protocol.h"

#include <csignal>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

void writeAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(4, bytes.data(), bytes.size());
        if (written <= 0)
            ::_exit(1);
        bytes.remove_prefix(std::size_t(written));
    }
}

} // namespace

int main(int, char **argv)
{
    using namespace qvx::chmreader;
    const std::string_view name = argv[0];
    const std::string mode(name.substr(name.rfind('-') + 1));
    if (mode == "silent")
        for (;;)
            ::pause();
    writeAll(framed(encodeAnswer(Answer{})));
    char request[64];
    if (::read(4, request, sizeof request) <= 0)
        return 0;
    if (mode == "garbage")
        writeAll(framed("\x04\x00\xff\xff\xff\xff"));
    if (mode == "huge")
        writeAll("\xf0\xff\xff\xff");
    if (mode == "half") {
        writeAll(std::string("\x40\x00\x00\x00\x04\x00", 6));
        ::raise(SIGKILL);
    }
    for (;;)
        ::pause();
}
