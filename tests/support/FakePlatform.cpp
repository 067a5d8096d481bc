#include "FakePlatform.h"

#include <QCoreApplication>
#include <QWidget>

namespace {

class ScriptedProgram final : public TrackedProgram
{
public:
    ScriptedProgram(const FakePlatform &platform, double ends, int status)
        : m_platform(platform), m_ends(ends), m_status(status)
    {
    }
    bool finished() override { return m_platform.clock >= m_ends; }
    int exitStatus() const override { return m_status; }

private:
    const FakePlatform &m_platform;
    double m_ends;
    int m_status;
};

} // namespace

FakePlatform::FakePlatform() : m_real(createSystemPlatform()) {}

FakePlatform::~FakePlatform() = default;

void FakePlatform::fail(const QString &operation, const QString &path, int number,
                        const QString &description)
{
    failures.insert(operation + QLatin1Char(' ') + path, OpResult{number, description});
}

QStringList FakePlatform::callsOf(const QString &word) const
{
    QStringList matching;
    for (const QString &call : calls) {
        if (call == word || call.startsWith(word + QLatin1Char(' ')))
            matching.append(call);
    }
    return matching;
}

OpResult FakePlatform::injected(const QString &operation, const QString &path) const
{
    return failures.value(operation + QLatin1Char(' ') + path);
}

void FakePlatform::setApplicationHelpFile(const QString &path)
{
    helpFileSetting = path;
    calls.append(QStringLiteral("helpfile ") + path);
}

void FakePlatform::setMousePointer(MousePointer pointer)
{
    calls.append(QStringLiteral("pointer %1").arg(int(pointer)));
}

void FakePlatform::processEvents()
{
    calls.append(QStringLiteral("events"));
    if (duringEvents)
        duringEvents();
    QCoreApplication::processEvents();
}

OpResult FakePlatform::startProgram(const QString &path, const QString &workingFolder)
{
    calls.append(QStringLiteral("start ") + path + QStringLiteral(" | ") + workingFolder);
    if (OpResult failure = injected(QStringLiteral("start"), path); !failure.ok())
        return failure;
    return reallyStart ? m_real->startProgram(path, workingFolder) : OpResult{};
}

OpResult FakePlatform::startTracked(const QString &path, const QString &workingFolder,
                                    std::unique_ptr<TrackedProgram> &program)
{
    calls.append(QStringLiteral("start ") + path + QStringLiteral(" | ") + workingFolder);
    program.reset();
    if (OpResult failure = injected(QStringLiteral("start"), path); !failure.ok())
        return failure;
    if (reallyStart)
        return m_real->startTracked(path, workingFolder, program);
    program = std::make_unique<ScriptedProgram>(*this, clock + programSeconds, programExitStatus);
    return {};
}

void FakePlatform::shellOpen(const QString &target)
{
    calls.append(QStringLiteral("open ") + target);
}

void FakePlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    calls.append(QStringLiteral("help %1 | %2 | %3 | %4")
                     .arg(owner ? owner->objectName() : QStringLiteral("(none)"), file)
                     .arg(command)
                     .arg(data));
}

int FakePlatform::messageBox(const QString &text, int style, const QString &title)
{
    calls.append(QStringLiteral("message %1 | %2 | %3").arg(style).arg(title, text));
    if (duringMessage)
        duringMessage();
    return messageAnswers.isEmpty() ? 1 : messageAnswers.takeFirst();
}

QStringList FakePlatform::listVisibleFiles(const QString &folder)
{
    return m_real->listVisibleFiles(folder);
}

bool FakePlatform::isFile(const QString &path)
{
    return m_real->isFile(path);
}

bool FakePlatform::exists(const QString &path)
{
    return m_real->exists(path);
}

bool FakePlatform::sameFile(const QString &first, const QString &second)
{
    return m_real->sameFile(first, second);
}

OpResult FakePlatform::canCreateFiles(const QString &folder)
{
    if (OpResult failure = injected(QStringLiteral("create"), folder); !failure.ok())
        return failure;
    return m_real->canCreateFiles(folder);
}

OpResult FakePlatform::copyFile(const QString &source, const QString &destination)
{
    calls.append(QStringLiteral("copy ") + source + QStringLiteral(" -> ") + destination);
    if (OpResult failure = injected(QStringLiteral("copy"), source); !failure.ok())
        return failure;
    return m_real->copyFile(source, destination);
}

OpResult FakePlatform::resetAttributes(const QString &path)
{
    calls.append(QStringLiteral("attributes ") + path);
    if (OpResult failure = injected(QStringLiteral("attributes"), path); !failure.ok())
        return failure;
    return m_real->resetAttributes(path);
}

OpResult FakePlatform::makeExecutable(const QString &path)
{
    calls.append(QStringLiteral("executable ") + path);
    if (OpResult failure = injected(QStringLiteral("executable"), path); !failure.ok())
        return failure;
    return m_real->makeExecutable(path);
}

OpResult FakePlatform::deleteFile(const QString &path)
{
    calls.append(QStringLiteral("delete ") + path);
    if (OpResult failure = injected(QStringLiteral("delete"), path); !failure.ok())
        return failure;
    return m_real->deleteFile(path);
}

void FakePlatform::waitForEvents(double maxSeconds)
{
    calls.append(QStringLiteral("wait %1").arg(maxSeconds));
    if (duringWait)
        duringWait(maxSeconds);
    QCoreApplication::processEvents();
    clock += maxSeconds;
}
