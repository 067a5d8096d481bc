#include "qvx/help/ChmSystem.h"

#include "qvx/chm/System.h"

#include <QStringDecoder>

namespace qvx::help {

ChmSystemInfo parseChmSystem(QByteArrayView data)
{
    const qvx::chm::SystemRecords records =
        qvx::chm::parseSystem(std::string_view(data.data(), std::size_t(data.size())));
    ChmSystemInfo info;
    info.valid = records.valid;
    info.lcid = records.lcid;
    // The texts are in the file's own code page, which the LCID record gives.
    QStringDecoder decoder(qvx::chm::encodingForLcid(info.lcid));
    info.contentsFile = decoder.decode(QByteArrayView(records.contentsFile));
    info.indexFile = decoder.decode(QByteArrayView(records.indexFile));
    info.defaultTopic = decoder.decode(QByteArrayView(records.defaultTopic));
    info.title = decoder.decode(QByteArrayView(records.title));
    return info;
}

QByteArray encodingForLcid(quint32 lcid)
{
    return QByteArray(qvx::chm::encodingForLcid(lcid));
}

bool isMultiByteUtf8(QByteArrayView bytes)
{
    bool multiByte = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Shortest forms only, and nothing past U+10FFFF or among the surrogates.
        qsizetype length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (qsizetype k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf))
                return false;
        }
        multiByte = true;
        i += length;
    }
    return multiByte;
}

} // namespace qvx::help
