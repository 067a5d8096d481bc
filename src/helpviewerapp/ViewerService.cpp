#include "qvx/helpviewerapp/ViewerService.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>

#include <optional>

namespace qvx::helpviewerapp {

namespace {

// Bumped when a request's form changes: a viewer of another version ignores it.
constexpr quint32 requestVersion = 1;
constexpr char servedReply = 'S';
// A request is a few names: anything much longer is no request of ours.
constexpr qint64 largestRequest = 1 << 20;

QByteArray encodeRequest(const CommandLine &line)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    // QString keeps the escapes of bytes that are not UTF-8 as they are.
    out << requestVersion << qint32(line.command) << line.addresses;
    QByteArray frame;
    QDataStream framed(&frame, QIODevice::WriteOnly);
    framed << quint32(payload.size());
    return frame + payload;
}

std::optional<CommandLine> decodeRequest(const QByteArray &payload)
{
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 version = 0;
    qint32 command = 0;
    quint32 count = 0;
    in >> version >> command >> count;
    // Every count and length is held against the bytes that came, so that a peer's claim
    // never decides how much is allocated.
    const auto left = [&] { return quint64(in.device()->bytesAvailable()); };
    if (in.status() != QDataStream::Ok || version != requestVersion || count > left() / 4)
        return std::nullopt;
    CommandLine line;
    line.command = command;
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok || length == 0xFFFFFFFFu || length % 2 != 0 ||
            length > left())
            return std::nullopt;
        QByteArray units(qsizetype(length), Qt::Uninitialized);
        if (in.readRawData(units.data(), int(length)) != int(length))
            return std::nullopt;
        QString address(qsizetype(length / 2), Qt::Uninitialized);
        for (qsizetype unit = 0; unit < address.size(); ++unit)
            address[unit] =
                QChar(char16_t(quint8(units[2 * unit]) << 8 | quint8(units[2 * unit + 1])));
        line.addresses.append(address);
    }
    if (!in.atEnd())
        return std::nullopt;
    return line;
}

} // namespace

QString ViewerService::defaultName()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/qvx-helpviewer");
}

ViewerService::ViewerService(Serve serve, QObject *parent)
    : QObject(parent), m_serve(std::move(serve))
{
    // Only this user may connect, whatever folder the socket ends up in.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &ViewerService::accept);
}

ViewerService::Outcome ViewerService::start(const QString &name, const CommandLine &line)
{
    if (name.isEmpty())
        return Outcome::Serving; // nowhere to meet: this process serves itself alone
    // Two starts at once must not both take the socket, nor one remove the other's.
    QLockFile lock(name + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(5000))
        return handOver(name, line, 5000) ? Outcome::HandedOver : Outcome::Serving;
    if (handOver(name, line, 5000))
        return Outcome::HandedOver;
    // No viewer answers: what is left is a crashed one's socket.
    QLocalServer::removeServer(name);
    if (!m_server.listen(name))
        qWarning("qvx-helpviewer: cannot serve on %s: %s", qPrintable(name),
                 qPrintable(m_server.errorString()));
    return Outcome::Serving;
}

void ViewerService::accept()
{
    while (QLocalSocket *client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, client, [this, client] {
            if (client->bytesAvailable() < qint64(sizeof(quint32)))
                return;
            QDataStream in(client->peek(sizeof(quint32)));
            quint32 size = 0;
            in >> size;
            if (size > largestRequest) {
                client->abort();
                return;
            }
            if (client->bytesAvailable() < qint64(sizeof(quint32)) + size)
                return;
            client->skip(sizeof(quint32));
            const std::optional<CommandLine> line = decodeRequest(client->read(size));
            if (!line) {
                client->abort();
                return;
            }
            m_serve(*line);
            client->write(&servedReply, 1);
            client->disconnectFromServer();
        });
    }
}

bool handOver(const QString &name, const CommandLine &line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(deadline.remainingTime()))
        return false;
    socket.write(encodeRequest(line));
    if (!socket.waitForBytesWritten(deadline.remainingTime()))
        return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(deadline.remainingTime()))
            return false;
    char reply = 0;
    return socket.read(&reply, 1) == 1 && reply == servedReply;
}

} // namespace qvx::helpviewerapp
