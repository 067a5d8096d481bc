#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// An application folder for a test: Demos/QVX, Demos/QVX Jr and Demos/Both with the given
// files (relative paths; a trailing "/" makes a folder).
class DemoTree
{
public:
    DemoTree() = default;
    explicit DemoTree(const QStringList &files)
    {
        for (const QString &file : files)
            add(file);
    }

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

    void add(const QString &relative, const QByteArray &contents = QByteArrayLiteral("demo"))
    {
        const QString full = m_dir.filePath(relative);
        if (relative.endsWith(QLatin1Char('/'))) {
            QDir().mkpath(full);
            return;
        }
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile out(full);
        if (out.open(QIODevice::WriteOnly))
            out.write(contents);
    }

private:
    QTemporaryDir m_dir;
};
