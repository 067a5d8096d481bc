#include "qvx/chm/Container.h"

#include "qvx/chm/Bytes.h"

namespace qvx::chm {

std::optional<FileHeader> parseFileHeader(std::string_view bytes)
{
    if (bytes.size() < 0x58 || !bytes.starts_with("ITSF"))
        return std::nullopt;
    FileHeader header;
    header.directoryOffset = *u64At(bytes, 0x48);
    // Later versions state where the content starts; earlier ones put it after the directory.
    const std::optional<std::uint64_t> stated = u64At(bytes, 0x58);
    header.contentOffset =
        *u32At(bytes, 4) >= 3 && stated ? *stated : header.directoryOffset + *u64At(bytes, 0x50);
    return header;
}

std::optional<DirectoryHeader> parseDirectoryHeader(std::string_view bytes)
{
    if (bytes.size() < DirectoryHeader::length || !bytes.starts_with("ITSP"))
        return std::nullopt;
    DirectoryHeader header;
    header.headerLength = *u32At(bytes, 8);
    header.blockLength = *u32At(bytes, 0x10);
    header.quickRefDensity = *u32At(bytes, 0x14);
    header.firstListing = std::int32_t(*u32At(bytes, 0x20));
    header.blocks = *u32At(bytes, 0x2C);
    return header;
}

bool isListingChunk(std::string_view chunk)
{
    return chunk.starts_with("PMGL");
}

std::int32_t nextListingChunk(std::string_view chunk)
{
    return std::int32_t(u32At(chunk, 0x10).value_or(0xFFFFFFFFu));
}

void forEachListingEntry(std::string_view chunk,
                         const std::function<void(std::string_view, const DirectoryEntry &)> &each)
{
    constexpr std::size_t header = 0x14;
    const std::optional<std::uint32_t> freeSpace = u32At(chunk, 4);
    if (!freeSpace || chunk.size() < header || *freeSpace > chunk.size() - header)
        return;
    ByteCursor cursor(chunk.substr(0, chunk.size() - *freeSpace), header);
    while (cursor.left() > 0) {
        const std::optional<std::uint64_t> nameLength = cursor.encodedNumber();
        const std::string_view name = cursor.bytes(nameLength.value_or(0));
        DirectoryEntry entry;
        for (std::uint64_t *field : {&entry.space, &entry.start, &entry.length})
            *field = cursor.encodedNumber().value_or(0);
        if (!cursor.ok())
            return;
        each(name, entry);
    }
}

std::optional<ResetTable> parseResetTable(std::string_view bytes)
{
    if (bytes.size() < ResetTable::headerLength)
        return std::nullopt;
    ResetTable table;
    table.version = *u32At(bytes, 0);
    table.blockCount = *u32At(bytes, 4);
    table.tableOffset = *u32At(bytes, 12);
    table.compressedLength = *u64At(bytes, 0x18);
    table.blockLength = *u64At(bytes, 0x20);
    return table;
}

std::optional<LzxControl> parseControlData(std::string_view bytes)
{
    if (bytes.size() < 0x18 || bytes.substr(4, 4) != "LZXC")
        return std::nullopt;
    LzxControl control;
    control.version = *u32At(bytes, 8);
    control.resetInterval = *u32At(bytes, 12);
    control.windowSize = *u32At(bytes, 16);
    control.windowsPerReset = *u32At(bytes, 20);
    if (control.version == 2) {
        control.resetInterval *= 0x8000;
        control.windowSize *= 0x8000;
    }
    return control;
}

bool compressionParametersSound(const LzxControl &control, const ResetTable &table)
{
    const std::uint32_t window = control.windowSize;
    const bool powerOfTwo = window != 0 && (window & (window - 1)) == 0;
    if (!powerOfTwo || window < (1u << 15) || window > (1u << 21) || control.resetInterval == 0 ||
        control.resetInterval % (window / 2) != 0)
        return false;
    // The blocks between two resets, which the library divides by.
    if (std::uint32_t(control.resetInterval / (window / 2) * control.windowsPerReset) == 0)
        return false;
    return table.blockLength != 0;
}

} // namespace qvx::chm
