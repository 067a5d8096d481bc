// The reader's protocol as both sides decode it: any bytes either fail to decode or decode to
// a message that encodes back to exactly those bytes, so that nothing is read past a frame or
// left unchecked in it.
#include "qvx/chmreader/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace qvx::chmreader;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (size >= 4)
        (void)frameLength(data, kMaxAnswerBytes);
    if (const std::optional<Request> request = decodeRequest(bytes)) {
        if (encodeRequest(*request) != bytes)
            std::abort();
    }
    if (const std::optional<Answer> answer = decodeAnswer(bytes)) {
        if (encodeAnswer(*answer) != bytes)
            std::abort();
    }
    return 0;
}
