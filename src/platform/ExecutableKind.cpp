#include "platform/ExecutableKind.h"

#include <QtEndian>

ExecutableKind classifyExecutable(QByteArrayView head, qint64 fileSize)
{
    if (head.size() >= 4 && head.first(4) == QByteArrayView("\x7f" "ELF"))
        return ExecutableKind::Native;
    if (head.size() >= 2 && head.first(2) == QByteArrayView("#!"))
        return ExecutableKind::Script;
    if (head.size() >= 0x40 && head.first(2) == QByteArrayView("MZ")) {
        const quint32 peOffset = qFromLittleEndian<quint32>(head.data() + 0x3C);
        // The signature must lie inside both the file and what we read of it.
        if (qint64(peOffset) + 4 <= fileSize && qint64(peOffset) + 4 <= head.size() &&
            head.sliced(peOffset, 4) == QByteArrayView("PE\0\0", 4))
            return ExecutableKind::Windows;
    }
    return ExecutableKind::NotExecutable;
}
