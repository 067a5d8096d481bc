#include "qvx/helpviewer/HelpLoader.h"

#include "qvx/helpviewer/NativeName.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QThreadPool>

#include <sys/stat.h>

namespace HelpLoader {

namespace {

struct Waiter
{
    QPointer<QObject> receiver;
    Done done;
};

struct SettleWaiter
{
    QPointer<QObject> receiver;
    Settled settled;
};

struct Outcome
{
    std::shared_ptr<const ChmFile> file;
};

// Lives on the GUI thread; the workers report back to it.
class Hub : public QObject
{
public:
    Hub()
    {
        // A worker waits for its probe's verdict after the first page is out: room for more.
        m_pool.setMaxThreadCount(4);
        // Quitting must not wait for a probe's full time.
        connect(qApp, &QCoreApplication::aboutToQuit, this, &Hub::stop);
    }
    ~Hub() override { stop(); }

    void stop()
    {
        ChmFile::cancelProbes();
        m_pool.waitForDone();
    }

    QHash<QByteArray, Outcome> outcomes;
    QHash<QByteArray, QList<Waiter>> opening;
    QHash<const ChmFile *, QList<SettleWaiter>> settling;
    QThreadPool m_pool;
};

Hub &hub()
{
    static QPointer<Hub> instance;
    if (!instance) {
        instance = new Hub;
        instance->setParent(qApp); // goes, and waits for its workers, with the application
    }
    return *instance;
}

// One key per file as it is now: a file replaced, written to or changed in its permissions
// gets a new key.
std::optional<QByteArray> identity(const QString &path)
{
    const QByteArray name = NativeName::encode(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    QByteArray key;
    for (const qint64 value : {qint64(info.st_dev), qint64(info.st_ino), qint64(info.st_size),
                               qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec),
                               qint64(info.st_ctim.tv_sec), qint64(info.st_ctim.tv_nsec)})
        key += QByteArray::number(value) + ':';
    return key + name;
}

} // namespace

std::optional<std::shared_ptr<const ChmFile>> known(const QString &path)
{
    const std::optional<QByteArray> key = identity(path);
    if (!key)
        return std::shared_ptr<const ChmFile>(); // nothing there to open
    const auto found = hub().outcomes.constFind(*key);
    if (found == hub().outcomes.cend())
        return std::nullopt;
    return found->file;
}

void open(const QString &path, QObject *receiver, Done done)
{
    const std::optional<QByteArray> key = identity(path);
    if (!key) {
        done(nullptr);
        return;
    }
    if (const auto found = hub().outcomes.constFind(*key); found != hub().outcomes.cend()) {
        done(found->file);
        return;
    }
    Hub &owner = hub();
    const bool started = owner.opening.contains(*key);
    owner.opening[*key].append({receiver, std::move(done)});
    if (started)
        return;
    owner.m_pool.start([path, key = *key, hubObject = &owner] {
        auto file = std::make_shared<ChmFile>();
        const bool staged = file->openFirstStage(path);
        const std::shared_ptr<const ChmFile> opened = staged ? file : nullptr;
        // The hub outlives every worker: it waits for them before it goes.
        QMetaObject::invokeMethod(
            hubObject,
            [key, opened] {
                Hub &self = hub();
                self.outcomes.insert(key, {opened});
                const QList<Waiter> waiters = self.opening.take(key);
                for (const Waiter &waiter : waiters) {
                    if (waiter.receiver)
                        waiter.done(opened);
                }
            },
            Qt::QueuedConnection);
        if (!staged)
            return;
        // While the probe reads the rest of the file in its own process.
        file->loadIndex();
        const bool sound = file->isVerified() || file->settle();
        QMetaObject::invokeMethod(
            hubObject,
            [key, opened, sound] {
                Hub &self = hub();
                // Known damaged from now on, unless the outcome was forgotten meanwhile.
                if (const auto found = self.outcomes.find(key);
                    !sound && found != self.outcomes.end() && found->file == opened)
                    found->file = nullptr;
                const QList<SettleWaiter> waiters = self.settling.take(opened.get());
                for (const SettleWaiter &waiter : waiters) {
                    if (waiter.receiver)
                        waiter.settled(sound);
                }
            },
            Qt::QueuedConnection);
    });
}

void whenSettled(const std::shared_ptr<const ChmFile> &file, QObject *receiver, Settled settled)
{
    if (!file || !file->isOpen() || (file->isVerified() && file->isIndexed())) {
        settled(file && file->isOpen());
        return;
    }
    hub().settling[file.get()].append({receiver, std::move(settled)});
}

void forget()
{
    hub().outcomes.clear();
}

} // namespace HelpLoader
