#pragma once

#include <QTextBrowser>

#include <memory>

class ChmFile;

// Shows pages, images and style sheets from inside one help file (chm:///page.htm URLs).
// A page the file lacks, or a file that could not be read, shows the viewer's own message.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    HelpBrowser(const QString &filePath, QWidget *parent);

    // The file the pages come from; none (or one not open) shows the file's message.
    void setFile(std::shared_ptr<const ChmFile> file);

    QVariant loadResource(int type, const QUrl &name) override;

    static QString fileMessage(const QString &filePath);
    static QString pageMessage(const QString &page);

private:
    std::shared_ptr<const ChmFile> m_file;
    QString m_filePath;
};
