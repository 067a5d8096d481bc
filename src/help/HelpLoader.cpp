#include "qvx/help/HelpLoader.h"

#include "qvx/help/NativeName.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QThreadPool>

#include <sys/stat.h>

namespace qvx::help {

namespace HelpLoader {

namespace {

struct Waiter
{
    QPointer<QObject> receiver;
    Done done;
};

struct IndexWaiter
{
    QPointer<QObject> receiver;
    Indexed indexed;
};

struct Outcome
{
    QByteArray identity;
    std::shared_ptr<const ChmFile> file;
};

// Lives on the GUI thread; the workers report back to it.
class Hub : public QObject
{
public:
    Hub()
    {
        m_pool.setMaxThreadCount(4);
        // The files' readers end with the program, not after it.
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { outcomes.clear(); });
    }
    ~Hub() override { m_pool.waitForDone(); }

    QHash<QString, Outcome> outcomes;
    QHash<QByteArray, QList<Waiter>> opening;
    QHash<const ChmFile *, QList<IndexWaiter>> indexing;
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
    if (!key) {
        hub().outcomes.remove(path);
        return std::shared_ptr<const ChmFile>(); // nothing there to open
    }
    const auto found = hub().outcomes.constFind(path);
    if (found == hub().outcomes.cend() || found->identity != *key ||
        (found->file && found->file->hasChanged()))
        return std::nullopt;
    return found->file;
}

void open(const QString &path, QObject *receiver, Done done)
{
    if (const auto file = known(path)) {
        done(*file);
        return;
    }
    const std::optional<QByteArray> key = identity(path);
    if (!key) {
        done(nullptr);
        return;
    }
    Hub &owner = hub();
    // Whatever was kept for the name is of an older file.
    owner.outcomes.remove(path);
    const bool started = owner.opening.contains(*key);
    owner.opening[*key].append({receiver, std::move(done)});
    if (started)
        return;
    owner.m_pool.start([path, key = *key, hubObject = &owner] {
        auto file = std::make_shared<ChmFile>();
        const bool opened = file->open(path);
        const std::shared_ptr<const ChmFile> outcome = opened ? file : nullptr;
        // The hub outlives every worker: it waits for them before it goes.
        QMetaObject::invokeMethod(
            hubObject,
            [path, key, outcome] {
                Hub &self = hub();
                // A newer version of the file may have been opened meanwhile.
                if (const std::optional<QByteArray> now = identity(path); now == key)
                    self.outcomes.insert(path, {key, outcome});
                const QList<Waiter> waiters = self.opening.take(key);
                for (const Waiter &waiter : waiters) {
                    if (waiter.receiver)
                        waiter.done(outcome);
                }
            },
            Qt::QueuedConnection);
        if (!opened)
            return;
        // The first page is out: the index of a large file takes a while longer.
        file->loadIndex();
        QMetaObject::invokeMethod(
            hubObject,
            [outcome] {
                const QList<IndexWaiter> waiters = hub().indexing.take(outcome.get());
                for (const IndexWaiter &waiter : waiters) {
                    if (waiter.receiver)
                        waiter.indexed();
                }
            },
            Qt::QueuedConnection);
    });
}

void whenIndexed(const std::shared_ptr<const ChmFile> &file, QObject *receiver, Indexed indexed)
{
    if (!file || !file->isOpen() || file->isIndexed()) {
        indexed();
        return;
    }
    hub().indexing[file.get()].append({receiver, std::move(indexed)});
}

int kept()
{
    return int(hub().outcomes.size());
}

void forget()
{
    hub().outcomes.clear();
}

} // namespace HelpLoader

} // namespace qvx::help
