#include "qvx/helpviewer/HelpViewer.h"

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/HelpLoader.h"
#include "qvx/helpviewer/NativeName.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int urlRole = Qt::UserRole;
constexpr int entryRole = Qt::UserRole + 1;
constexpr int searchTextRole = Qt::UserRole + 2;

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp");
}

} // namespace

HelpViewer::HelpViewer(LinkOpener openLink, const QString &filePath)
    : m_openLink(std::move(openLink)), m_filePath(filePath)
{
    setObjectName(QStringLiteral("frmHelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    createActions();
    resize(820, 580);
    loadFile();
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::createControls()
{
    txtPage = new HelpBrowser(m_filePath, this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    connect(txtPage, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &HelpViewer::selectContentsEntry);

    treContents = new QTreeWidget(this);
    treContents->setObjectName(QStringLiteral("treContents"));
    treContents->setHeaderHidden(true);
    const auto openItem = [this](QTreeWidgetItem *item) {
        const QUrl url = item->data(0, urlRole).toUrl();
        if (url.isValid())
            openPage(url);
    };
    connect(treContents, &QTreeWidget::itemClicked, this, openItem);
    connect(treContents, &QTreeWidget::itemActivated, this, openItem);

    auto *indexPane = new QWidget(this);
    auto *indexLayout = new QVBoxLayout(indexPane);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    auto *filterLabel = new QLabel(tr("&Type in the keyword to find:"), indexPane);
    txtIndexFilter = new QLineEdit(indexPane);
    txtIndexFilter->setObjectName(QStringLiteral("txtIndexFilter"));
    txtIndexFilter->setClearButtonEnabled(true);
    filterLabel->setBuddy(txtIndexFilter);
    lstIndex = new QListWidget(indexPane);
    lstIndex->setObjectName(QStringLiteral("lstIndex"));
    lblTopicsFound = new QLabel(tr("Topics found:"), indexPane);
    lstTopicsFound = new QListWidget(indexPane);
    lstTopicsFound->setObjectName(QStringLiteral("lstTopicsFound"));
    lblTopicsFound->hide();
    lstTopicsFound->hide();
    indexLayout->addWidget(filterLabel);
    indexLayout->addWidget(txtIndexFilter);
    indexLayout->addWidget(lstIndex, 3);
    indexLayout->addWidget(lblTopicsFound);
    indexLayout->addWidget(lstTopicsFound, 1);
    connect(txtIndexFilter, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(txtIndexFilter, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem *item = lstIndex->currentItem(); item && !item->isHidden())
            indexItemActivated(item);
    });
    connect(lstIndex, &QListWidget::itemActivated, this, &HelpViewer::indexItemActivated);
    connect(lstIndex, &QListWidget::itemClicked, this, &HelpViewer::indexItemActivated);
    const auto openTopic = [this](QListWidgetItem *item) { openPage(item->data(urlRole).toUrl()); };
    connect(lstTopicsFound, &QListWidget::itemActivated, this, openTopic);
    connect(lstTopicsFound, &QListWidget::itemClicked, this, openTopic);

    tabNavigation = new QTabWidget(this);
    tabNavigation->setObjectName(QStringLiteral("tabNavigation"));
    tabNavigation->addTab(treContents, tr("Contents"));
    tabNavigation->addTab(indexPane, tr("Index"));

    auto *splitter = new QSplitter(this);
    splitter->addWidget(tabNavigation);
    splitter->addWidget(txtPage);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 580});
    setCentralWidget(splitter);
}

void HelpViewer::createActions()
{
    auto *toolBar = addToolBar(tr("Navigation"));
    toolBar->setObjectName(QStringLiteral("tbrNavigation"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto *actBack = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("&Back"));
    actBack->setObjectName(QStringLiteral("actBack"));
    actBack->setShortcut(QKeySequence::Back);
    actBack->setEnabled(false);
    connect(actBack, &QAction::triggered, txtPage, &QTextBrowser::backward);
    connect(txtPage, &QTextBrowser::backwardAvailable, actBack, &QAction::setEnabled);

    auto *actForward =
        toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("&Forward"));
    actForward->setObjectName(QStringLiteral("actForward"));
    actForward->setShortcut(QKeySequence::Forward);
    actForward->setEnabled(false);
    connect(actForward, &QAction::triggered, txtPage, &QTextBrowser::forward);
    connect(txtPage, &QTextBrowser::forwardAvailable, actForward, &QAction::setEnabled);

    auto *actHome = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("&Home"));
    actHome->setObjectName(QStringLiteral("actHome"));
    connect(actHome, &QAction::triggered, this, [this] {
        if (isFileOpen())
            openPage(chmPageUrl(m_file->defaultTopic()));
    });
}

void HelpViewer::loadFile()
{
    if (isFileOpen() || m_loading)
        return;
    if (const auto known = HelpLoader::known(m_filePath)) {
        fileArrived(*known);
        return;
    }
    m_loading = true;
    setCursor(Qt::BusyCursor);
    setWindowTitle(NativeName::display(QFileInfo(m_filePath).completeBaseName()));
    txtPage->setHtml(u"<p>"_s +
                     tr("Opening %1\u2026").arg(NativeName::display(m_filePath).toHtmlEscaped()) +
                     u"</p>"_s);
    HelpLoader::open(m_filePath, this,
                     [this](std::shared_ptr<const ChmFile> file) { fileArrived(std::move(file)); });
}

void HelpViewer::fileArrived(std::shared_ptr<const ChmFile> file)
{
    m_loading = false;
    unsetCursor();
    const bool opened = file && file->isOpen();
    m_file = opened ? std::move(file) : std::make_shared<const ChmFile>();
    txtPage->setFile(m_file);
    const QString title = opened && !m_file->title().isEmpty()
                              ? m_file->title()
                              : NativeName::display(QFileInfo(m_filePath).completeBaseName());
    setWindowTitle(title.isEmpty() ? tr("Help") : title);
    fillContents();
    fillIndex();
    if (!opened)
        txtPage->setHtml(HelpBrowser::fileMessage(NativeName::display(m_filePath)));
    const QList<std::function<void()>> waiting = std::exchange(m_waiting, {});
    for (const std::function<void()> &request : waiting)
        request();
    emit fileLoaded();
}

void HelpViewer::whenLoaded(std::function<void()> request)
{
    loadFile();
    if (m_loading)
        m_waiting.append(std::move(request));
    else
        request();
}

void HelpViewer::fillContents()
{
    treContents->clear();
    m_contentsByPath.clear();
    QList<QTreeWidgetItem *> parents; // the last item at each depth
    for (const SitemapEntry &entry : m_file->contents()) {
        const int depth = qMin(entry.depth, int(parents.size()));
        parents.resize(depth);
        auto *item = parents.isEmpty() ? new QTreeWidgetItem(treContents)
                                       : new QTreeWidgetItem(parents.last());
        item->setText(0, entry.name);
        if (!entry.targets.isEmpty()) {
            const QUrl url = chmPageUrl(entry.targets.first().local);
            item->setData(0, urlRole, url);
            const QString path = chmLookupPath(url).toLower();
            if (!path.isEmpty() && !m_contentsByPath.contains(path))
                m_contentsByPath.insert(path, item);
        }
        parents.append(item);
    }
    treContents->expandAll();
}

void HelpViewer::fillIndex()
{
    lstIndex->clear();
    lstTopicsFound->clear();
    lblTopicsFound->hide();
    lstTopicsFound->hide();
    QStringList keywords; // the keyword path above each depth
    const QList<SitemapEntry> &entries = m_file->index();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const SitemapEntry &entry = entries[i];
        const int depth = qMin(entry.depth, int(keywords.size()));
        keywords.resize(depth);
        keywords.append(entry.name);
        auto *item =
            new QListWidgetItem(QString(depth * 4, QLatin1Char(' ')) + entry.name, lstIndex);
        item->setData(entryRole, int(i));
        // A subentry is found by its own keyword and by the one it sits under.
        item->setData(searchTextRole, keywords.join(QLatin1Char(' ')));
    }
    lstIndex->setCurrentRow(0);
}

void HelpViewer::filterIndex(const QString &text)
{
    const QString wanted = text.trimmed();
    QListWidgetItem *first = nullptr;
    for (int row = 0; row < lstIndex->count(); ++row) {
        QListWidgetItem *item = lstIndex->item(row);
        const bool shown =
            item->data(searchTextRole).toString().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    lstIndex->setCurrentItem(first);
}

void HelpViewer::indexItemActivated(QListWidgetItem *item)
{
    if (!item)
        return;
    const QList<SitemapEntry> &entries = m_file->index();
    const int i = item->data(entryRole).toInt();
    if (i < 0 || i >= entries.size())
        return;
    const SitemapEntry &entry = entries[i];
    lstTopicsFound->clear();
    const bool choice = entry.targets.size() > 1;
    lblTopicsFound->setVisible(choice);
    lstTopicsFound->setVisible(choice);
    if (entry.targets.size() == 1) {
        openPage(chmPageUrl(entry.targets.first().local));
        return;
    }
    // Several pages under one keyword: the user picks.
    for (const SitemapTarget &target : entry.targets) {
        auto *topic = new QListWidgetItem(target.title, lstTopicsFound);
        topic->setData(urlRole, chmPageUrl(target.local));
    }
    if (choice)
        lstTopicsFound->setCurrentRow(0);
}

void HelpViewer::showContents()
{
    tabNavigation->setCurrentIndex(0);
    whenLoaded([this] {
        if (!isFileOpen())
            return;
        const QString topic = m_file->defaultTopic();
        if (!topic.isEmpty())
            openPage(chmPageUrl(topic));
    });
}

void HelpViewer::showIndex()
{
    tabNavigation->setCurrentIndex(1);
    txtIndexFilter->setFocus();
    whenLoaded([this] {
        if (isFileOpen() && txtPage->source().isEmpty()) {
            const QString topic = m_file->defaultTopic();
            if (!topic.isEmpty())
                openPage(chmPageUrl(topic));
        }
    });
}

void HelpViewer::showTopic(const QString &page)
{
    tabNavigation->setCurrentIndex(0);
    whenLoaded([this, page] {
        if (!isFileOpen())
            return;
        const QUrl url = chmPageUrl(page);
        if (url.isValid()) {
            openPage(url);
        } else {
            // Nothing that could be a page: say so rather than stay on the last one.
            txtPage->setHtml(HelpBrowser::pageMessage(page));
        }
    });
}

void HelpViewer::bringForward()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void HelpViewer::followLink(const QUrl &link)
{
    if (isWebAddress(link)) {
        if (m_openLink)
            m_openLink(link.toString());
        return;
    }
    const QString scheme = link.scheme().toLower();
    if (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk") ||
        scheme == QLatin1String("its")) {
        // Another file's address is not followed: pages of this file only.
        const std::optional<HelpAddress> address =
            parseHelpAddress(QUrl::fromPercentEncoding(link.toEncoded()));
        if (address && QFileInfo(address->file)
                               .fileName()
                               .compare(QFileInfo(m_filePath).fileName(), Qt::CaseInsensitive) == 0)
            openPage(chmPageUrl(address->page));
        return;
    }
    if (!link.isRelative() && scheme != chmScheme())
        return; // file:, javascript: and the like stay unopened
    const QUrl base =
        txtPage->source().isEmpty() ? QUrl(QStringLiteral("chm:///")) : txtPage->source();
    openPage(link.isRelative() ? base.resolved(link) : link);
}

void HelpViewer::openPage(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return;
    txtPage->setSource(url, QTextDocument::HtmlResource);
}

void HelpViewer::selectContentsEntry(const QUrl &url)
{
    QTreeWidgetItem *item = m_contentsByPath.value(chmLookupPath(url).toLower());
    if (!item)
        return;
    const QSignalBlocker blocker(treContents);
    treContents->setCurrentItem(item);
}
