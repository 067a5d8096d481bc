#include "qvx/helpviewer/ChmSystem.h"

#include "qvx/chm/System.h"

#include <QStringDecoder>

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
