// Writes the application folder as the platform finds it, in the system's bytes.
#include "qvx/helpviewer/NativeName.h"
#include "platform/Platform.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray folder = NativeName::encode(createSystemPlatform()->applicationFolder());
    return std::fwrite(folder.constData(), 1, size_t(folder.size()), stdout) ==
                   size_t(folder.size())
               ? 0
               : 1;
}
