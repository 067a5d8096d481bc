#pragma once

#include <QTextBrowser>

class ChmFile;

// Shows pages, images and style sheets from inside one help file (chm:///page.htm URLs).
// A page the file lacks, or a file that could not be read, shows the viewer's own message.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    HelpBrowser(const ChmFile &file, const QString &filePath, QWidget *parent);

    QVariant loadResource(int type, const QUrl &name) override;

    static QString fileMessage(const QString &filePath);
    static QString pageMessage(const QString &page);

private:
    const ChmFile &m_file;
    QString m_filePath;
};
