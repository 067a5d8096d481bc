#pragma once

#include "qvx/helpviewerapp/CommandLine.h"

#include <QLocalServer>
#include <QObject>

#include <functional>

namespace qvx::helpviewerapp {

// One viewer process per user session: the first start serves on a local socket in the user's
// runtime folder, and later starts hand their requests to it.
class ViewerService : public QObject
{
    Q_OBJECT

public:
    using Serve = std::function<void(const CommandLine &line)>;

    // The socket's path: in the user's own runtime folder, which no other user may enter.
    static QString defaultName();

    explicit ViewerService(Serve serve, QObject *parent = nullptr);

    // Serves on `name` unless a viewer already does, and then hands `line` to it. Where
    // neither can be done this process serves its own requests alone.
    enum class Outcome { Serving, HandedOver };
    Outcome start(const QString &name, const CommandLine &line);

private:
    void accept();

    Serve m_serve;
    QLocalServer m_server;
};

// Hands `line` to the viewer serving on `name` and waits for it to say it was served.
bool handOver(const QString &name, const CommandLine &line, int timeoutMs);

} // namespace qvx::helpviewerapp
