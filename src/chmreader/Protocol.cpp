#include "qvx/chmreader/Protocol.h"

#include "qvx/chm/Bytes.h"

namespace qvx::chmreader {

namespace {

class Writer
{
public:
    void u8(std::uint8_t value) { m_bytes.push_back(char(value)); }
    void u16(std::uint16_t value) { little(value, 2); }
    void u32(std::uint32_t value) { little(value, 4); }
    void u64(std::uint64_t value) { little(value, 8); }
    void text(std::string_view value)
    {
        u16(std::uint16_t(value.size()));
        m_bytes.append(value);
    }
    void blob(std::string_view value)
    {
        u32(std::uint32_t(value.size()));
        m_bytes.append(value);
    }
    std::string take() { return std::move(m_bytes); }

private:
    void little(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            m_bytes.push_back(char((value >> (8 * i)) & 0xFF));
    }
    std::string m_bytes;
};

// Reads values off a payload with the help file format's bounded reader; once one is out of
// bounds every later one fails too.
class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_cursor(bytes) {}

    std::uint8_t u8() { return m_cursor.u8(); }
    std::uint16_t u16() { return m_cursor.u16(); }
    std::uint32_t u32() { return m_cursor.u32(); }
    std::uint64_t u64() { return m_cursor.u64(); }
    std::string text(std::uint32_t limit) { return counted(u16(), limit); }
    std::string blob(std::uint32_t limit) { return counted(u32(), limit); }
    // Whether every value so far was there and nothing is left over.
    bool whole() const { return m_cursor.ok() && m_cursor.left() == 0; }
    bool good() const { return m_cursor.ok(); }

private:
    std::string counted(std::uint32_t size, std::uint32_t limit)
    {
        if (size > limit)
            m_cursor.skip(~std::uint64_t(0)); // fails the cursor
        return std::string(m_cursor.bytes(size));
    }

    chm::ByteCursor m_cursor;
};

bool knownOp(std::uint8_t op)
{
    return op == std::uint8_t(Op::Hello) || op == std::uint8_t(Op::List) ||
           op == std::uint8_t(Op::Read);
}

} // namespace

std::string encodeRequest(const Request &request)
{
    Writer out;
    out.u8(std::uint8_t(request.op));
    switch (request.op) {
    case Op::Hello:
        break;
    case Op::List:
        out.u32(request.first);
        break;
    case Op::Read:
        out.text(request.path);
        out.u64(request.offset);
        out.u32(request.length);
        break;
    }
    return out.take();
}

std::optional<Request> decodeRequest(std::string_view payload)
{
    Reader in(payload);
    Request request;
    const std::uint8_t op = in.u8();
    if (!in.good() || !knownOp(op) || Op(op) == Op::Hello)
        return std::nullopt;
    request.op = Op(op);
    if (request.op == Op::List) {
        request.first = in.u32();
    } else {
        request.path = in.text(kMaxPathBytes);
        request.offset = in.u64();
        request.length = in.u32();
        if (request.length > kMaxChunkBytes)
            return std::nullopt;
    }
    if (!in.whole())
        return std::nullopt;
    return request;
}

std::string encodeAnswer(const Answer &answer)
{
    Writer out;
    out.u8(std::uint8_t(answer.op));
    out.u8(std::uint8_t(answer.status));
    if (answer.status != Status::Ok)
        return out.take();
    switch (answer.op) {
    case Op::Hello:
        out.u32(answer.layers);
        break;
    case Op::List:
        out.u32(answer.total);
        out.u8(answer.partial ? 1 : 0);
        out.u32(std::uint32_t(answer.entries.size()));
        for (const Entry &entry : answer.entries) {
            out.text(entry.path);
            out.u64(entry.size);
        }
        break;
    case Op::Read:
        out.u64(answer.size);
        out.blob(answer.bytes);
        break;
    }
    return out.take();
}

std::optional<Answer> decodeAnswer(std::string_view payload)
{
    Reader in(payload);
    Answer answer;
    const std::uint8_t op = in.u8();
    const std::uint8_t status = in.u8();
    if (!in.good() || !knownOp(op) || status > std::uint8_t(Status::Failed))
        return std::nullopt;
    answer.op = Op(op);
    answer.status = Status(status);
    if (answer.status == Status::Ok) {
        switch (answer.op) {
        case Op::Hello:
            answer.layers = in.u32();
            break;
        case Op::List: {
            answer.total = in.u32();
            const std::uint8_t partial = in.u8();
            const std::uint32_t count = in.u32();
            if (partial > 1 || count > answer.total)
                return std::nullopt;
            answer.partial = partial == 1;
            // Each entry takes at least ten bytes: a count beyond that cannot be true.
            if (count > payload.size() / 10)
                return std::nullopt;
            answer.entries.reserve(count);
            for (std::uint32_t i = 0; i < count && in.good(); ++i) {
                Entry entry;
                entry.path = in.text(kMaxPathBytes);
                entry.size = in.u64();
                answer.entries.push_back(std::move(entry));
            }
            break;
        }
        case Op::Read:
            answer.size = in.u64();
            answer.bytes = in.blob(kMaxChunkBytes);
            break;
        }
    }
    if (!in.whole())
        return std::nullopt;
    return answer;
}

std::string framed(std::string_view payload)
{
    Writer out;
    out.u32(std::uint32_t(payload.size()));
    std::string bytes = out.take();
    bytes.append(payload);
    return bytes;
}

std::optional<std::uint32_t> frameLength(const unsigned char header[4], std::uint32_t limit)
{
    const std::uint32_t length = std::uint32_t(header[0]) | std::uint32_t(header[1]) << 8 |
                                 std::uint32_t(header[2]) << 16 | std::uint32_t(header[3]) << 24;
    if (length == 0 || length > limit)
        return std::nullopt;
    return length;
}

std::size_t encodedSize(const Entry &entry)
{
    return 2 + entry.path.size() + 8;
}

} // namespace qvx::chmreader
