#pragma once

#include <QCollator>
#include <QStringList>
#include <QWidget>

class Platform;

// The hidden file list: the names of one folder's files that match a pattern, in
// alphabetical order without regard to case. Never shown; read by index like a list box.
class FileListBox : public QWidget
{
    Q_OBJECT
public:
    FileListBox(Platform &platform, QWidget *parent);

    void setPath(const QString &folder);
    QString path() const { return m_path; }
    void setPattern(const QString &pattern);
    QString pattern() const { return m_pattern; }

    qsizetype listCount() const { return m_names.size(); }
    QString list(qsizetype index) const { return m_names.value(index); }
    const QStringList &names() const { return m_names; }

    // The names that match the wildcard pattern (* and ?, any letter case), sorted.
    static QStringList matchAndSort(const QStringList &names, const QString &pattern,
                                    const QCollator &collator);

private:
    void refresh();

    Platform &m_platform;
    QCollator m_collator;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    QStringList m_names;
};
