#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qvx::help {

// What a help file says about itself in its #SYSTEM object.
struct ChmSystemInfo
{
    bool valid = false;
    quint32 lcid = 0;
    QString contentsFile; // as stored: no leading "/"
    QString indexFile;
    QString defaultTopic;
    QString title;
};

// Reads a whole #SYSTEM object; records that run past its end are dropped.
ChmSystemInfo parseChmSystem(QByteArrayView data);

// The Windows code page of a language (LCID), by the name Qt's converters know.
QByteArray encodingForLcid(quint32 lcid);

// Whether the bytes are valid UTF-8 with at least one character past ASCII. Compilers store
// text as its pages give it, so a file of a code page may hold UTF-8 titles and words.
bool isMultiByteUtf8(QByteArrayView bytes);

} // namespace qvx::help
