#include "qvx/help/ChmObjects.h"

#include "qvx/help/ChmAddress.h"
#include "qvx/help/NativeName.h"

#include "qvx/chmreader/ReaderClient.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <thread>

namespace qvx::help {

namespace {

using qvx::chmreader::Outcome;
using qvx::chmreader::ReaderClient;

std::mutex readerProgramLock;
QString &readerProgramPath()
{
    static QString path;
    return path;
}
std::atomic<int> channelsStarted = 0;
std::atomic<int> objectRequests = 0;

QString lookupName(const QString &path)
{
    return path.startsWith(QLatin1String("/#")) || path.startsWith(QLatin1String("/$"))
               ? path
               : normaliseChmPath(path);
}

} // namespace

// The thread that owns the file's reader. The reader dies with the thread that started it, so
// this thread lives as long as the file is wanted, and a little longer: a request under way
// when the file goes is finished (within the reader's deadline) before the thread ends, so
// that letting go of a file never waits for its reader.
class ChmObjects::Channel : public std::enable_shared_from_this<Channel>
{
public:
    using Task = std::function<void(ReaderClient &client)>;

    Channel(std::filesystem::path program, std::filesystem::path file)
        : m_client(std::move(program), std::move(file))
    {
    }

    void start()
    {
        ++channelsStarted;
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

    void post(Task task, bool urgent)
    {
        {
            const std::lock_guard lock(m_lock);
            if (m_closing)
                return;
            (urgent ? m_urgent : m_later).push_back(std::move(task));
        }
        m_wake.notify_one();
    }

    // Drops what is queued; the thread ends after the request under way.
    void close()
    {
        {
            const std::lock_guard lock(m_lock);
            m_closing = true;
            m_urgent.clear();
            m_later.clear();
        }
        m_wake.notify_one();
    }

    // Runs `deliver` unless the file was let go meanwhile, so that nothing is handed to the
    // GUI thread for a file no one holds.
    template <typename Deliver> void unlessClosed(Deliver deliver)
    {
        const std::lock_guard lock(m_lock);
        if (!m_closing)
            deliver();
    }

private:
    void run()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_lock);
                m_wake.wait(lock,
                            [this] { return m_closing || !m_urgent.empty() || !m_later.empty(); });
                if (m_closing)
                    break;
                std::deque<Task> &queue = m_urgent.empty() ? m_later : m_urgent;
                task = std::move(queue.front());
                queue.pop_front();
            }
            task(m_client);
        }
        m_client.stop();
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Task> m_urgent;
    std::deque<Task> m_later;
    bool m_closing = false;
    ReaderClient m_client;
};

namespace {

ChmObjects::Object readObject(ReaderClient &client, const QByteArray &name, qint64 limit)
{
    ++objectRequests;
    // Straight into the object's own buffer: a large index is never held twice.
    class Into final : public qvx::chmreader::ObjectSink
    {
    public:
        Into(ChmObjects::Object &object, qint64 limit)
            : m_object(object), m_limit(qMax<qint64>(limit, 0))
        {
        }
        bool accept(std::uint64_t size) override
        {
            m_object.size = qint64(qMin<std::uint64_t>(size, std::uint64_t(INT64_MAX)));
            if (m_object.size > m_limit)
                return false;
            m_object.bytes.reserve(m_object.size);
            return true;
        }
        void append(std::string_view part) override
        {
            m_object.bytes.append(part.data(), qsizetype(part.size()));
        }

    private:
        ChmObjects::Object &m_object;
        qint64 m_limit;
    };
    ChmObjects::Object object;
    Into into(object, limit);
    object.status = client.read(std::string_view(name.constData(), std::size_t(name.size())), into);
    if (object.status != Outcome::Ok)
        object.bytes.clear();
    return object;
}

} // namespace

ChmObjects::ChmObjects() = default;

ChmObjects::~ChmObjects()
{
    if (m_channel)
        m_channel->close();
}

void ChmObjects::setReaderProgram(const QString &path)
{
    const std::lock_guard lock(readerProgramLock);
    readerProgramPath() = path;
}

int ChmObjects::readersStarted()
{
    return channelsStarted;
}

int ChmObjects::objectsRequested()
{
    return objectRequests;
}

bool ChmObjects::isStarted() const
{
    return bool(m_channel);
}

bool ChmObjects::start(const QString &path)
{
    if (m_channel)
        return true;
    QString program;
    {
        const std::lock_guard lock(readerProgramLock);
        program = readerProgramPath();
    }
    if (program.isEmpty()) {
        qWarning("No help file reader program is set");
        return false;
    }
    m_channel = std::make_shared<Channel>(NativeName::encode(program).toStdString(),
                                          NativeName::encode(path).toStdString());
    m_channel->start();
    return true;
}

void ChmObjects::listObjects() const
{
    if (!m_channel)
        return;
    {
        const std::lock_guard lock(m_listLock);
        if (m_objects)
            return;
    }
    auto listed = std::make_shared<std::promise<std::vector<qvx::chmreader::Entry>>>();
    std::future<std::vector<qvx::chmreader::Entry>> arrived = listed->get_future();
    m_channel->post(
        [this, listed](ReaderClient &client) {
            std::vector<qvx::chmreader::Entry> entries;
            if (client.list(&entries) == Outcome::Changed)
                m_changed = true;
            listed->set_value(std::move(entries));
        },
        false);
    std::vector<qvx::chmreader::Entry> entries;
    try {
        entries = arrived.get();
    } catch (const std::future_error &) {
        // The channel closed first: nothing is listed.
    }
    QList<QByteArray> objects;
    QStringList pages;
    objects.reserve(qsizetype(entries.size()));
    for (const qvx::chmreader::Entry &entry : entries) {
        const QByteArray name(entry.path.data(), qsizetype(entry.path.size()));
        const QByteArray lower = name.toLower();
        objects.append(lower);
        if (entry.size > 0 && (lower.endsWith(".htm") || lower.endsWith(".html")))
            pages.append(QString::fromUtf8(name));
    }
    const std::lock_guard lock(m_listLock);
    m_objects = std::move(objects);
    m_pages = std::move(pages);
}

ChmObjects::Object ChmObjects::fetch(const QString &path, qint64 limit) const
{
    const QString name = lookupName(path);
    if (!m_channel || name.isEmpty())
        return {m_channel ? Outcome::NotFound : Outcome::CannotOpen, {}, -1};
    if (m_changed)
        return {Outcome::Changed, {}, -1};
    auto answer = std::make_shared<std::promise<Object>>();
    std::future<Object> arrived = answer->get_future();
    m_channel->post(
        [answer, key = name.toUtf8(), limit](ReaderClient &client) {
            answer->set_value(readObject(client, key, limit));
        },
        false);
    Object object;
    try {
        object = arrived.get();
    } catch (const std::future_error &) {
        object.status = Outcome::Unreadable;
    }
    if (object.status == Outcome::Changed)
        m_changed = true;
    return object;
}

std::optional<QByteArray> ChmObjects::read(const QString &path) const
{
    Object object = fetch(path);
    if (object.status != Outcome::Ok)
        return std::nullopt;
    return std::move(object.bytes);
}

void ChmObjects::fetchLater(const QString &path, qint64 limit, QObject *receiver,
                            Fetched done) const
{
    const QString name = lookupName(path);
    QPointer<QObject> guard(receiver);
    const auto deliver = [guard, done = std::move(done)](Object object) {
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [guard, done, object = std::move(object)] {
                if (guard)
                    done(object);
            },
            Qt::QueuedConnection);
    };
    if (!m_channel || name.isEmpty() || m_changed) {
        deliver({!m_channel       ? Outcome::CannotOpen
                 : name.isEmpty() ? Outcome::NotFound
                                  : Outcome::Changed,
                 {},
                 -1});
        return;
    }
    // Held weakly: a file let go meanwhile is not kept for its answer.
    std::weak_ptr<Channel> channel = m_channel;
    std::atomic<bool> *changedFlag = &m_changed;
    m_channel->post(
        [channel, changedFlag, key = name.toUtf8(), limit, deliver](ReaderClient &client) {
            Object object = readObject(client, key, limit);
            if (const std::shared_ptr<Channel> open = channel.lock()) {
                open->unlessClosed([&] {
                    // The file is still held while the channel is open.
                    if (object.status == Outcome::Changed)
                        changedFlag->store(true);
                    deliver(std::move(object));
                });
            }
        },
        true);
}

QString ChmObjects::rootObject(const char *suffix) const
{
    listObjects();
    const std::lock_guard lock(m_listLock);
    QByteArray found;
    if (!m_objects)
        return {};
    for (const QByteArray &name : *m_objects) {
        if (name.count('/') == 1 && name.endsWith(suffix) && (found.isEmpty() || name < found))
            found = name;
    }
    return QString::fromUtf8(found);
}

QStringList ChmObjects::pagePaths(int limit) const
{
    listObjects();
    const std::lock_guard lock(m_listLock);
    return limit <= 0 ? QStringList() : m_pages.mid(0, limit);
}

} // namespace qvx::help
