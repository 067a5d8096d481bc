#include "qvx/helpviewer/HelpBrowser.h"

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmFile.h"

#include <QTextDocument>

namespace {

QString messagePage(const QString &heading, const QString &detail)
{
    return QStringLiteral("<html><body><h2>%1</h2><p>%2</p></body></html>")
        .arg(heading.toHtmlEscaped(), detail.toHtmlEscaped());
}

} // namespace

HelpBrowser::HelpBrowser(const QString &filePath, QWidget *parent)
    : QTextBrowser(parent), m_filePath(filePath)
{
    // Links are routed by the viewer: pages inside, web addresses to the desktop.
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void HelpBrowser::setFile(std::shared_ptr<const ChmFile> file)
{
    m_file = std::move(file);
}

QString HelpBrowser::fileMessage(const QString &filePath)
{
    return messagePage(tr("Cannot open the file"),
                       tr("The help file \"%1\" cannot be opened: it is missing, unreadable "
                          "or damaged.")
                           .arg(filePath));
}

QString HelpBrowser::pageMessage(const QString &page)
{
    return messagePage(tr("Page not found"),
                       tr("The page \"%1\" is not in this help file.").arg(page));
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    if (!m_file || !m_file->isOpen())
        return isPage ? QVariant(fileMessage(m_filePath)) : QVariant();
    if (url.scheme() != chmScheme())
        return {};
    const std::optional<QByteArray> bytes = m_file->read(chmLookupPath(url));
    if (!bytes) {
        if (!isPage)
            return {};
        return pageMessage(url.path(QUrl::FullyDecoded).mid(1));
    }
    switch (type) {
    case QTextDocument::HtmlResource:
    case QTextDocument::UnknownResource:
        return m_file->decodePage(*bytes);
    case QTextDocument::StyleSheetResource:
        return m_file->decode(*bytes);
    default:
        return *bytes;
    }
}
