#include "qvx/helpviewer/HelpViewer.h"

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/FindBar.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/NativeName.h"
#include "qvx/helpviewer/SearchPane.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    createSearchPane();
}

void HelpViewer::createSearchPane()
{
    m_searchPane = new SearchPane(tabNavigation);
    tabNavigation->addTab(m_searchPane, tr("Search"));
    connect(m_searchPane, &SearchPane::pageChosen, txtPage, &HelpBrowser::showFound);
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
    createPageActions();
}

void HelpViewer::createPageActions()
{
    // The find bar sits under the page, whatever holds the page.
    QWidget *holder = txtPage->parentWidget();
    auto *pageArea = new QWidget;
    auto *splitter = qobject_cast<QSplitter *>(holder);
    const int at = splitter ? splitter->indexOf(txtPage) : -1;
    auto *pageLayout = new QVBoxLayout(pageArea);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    m_findBar = new FindBar(txtPage, pageArea);
    if (splitter)
        splitter->replaceWidget(at, pageArea);
    else
        pageArea->setParent(holder);
    pageLayout->addWidget(txtPage, 1);
    pageLayout->addWidget(m_findBar);

    const auto newAction = [this](const char *name, const QString &text,
                                  const QList<QKeySequence> &keys) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        QWidget::addAction(action);
        return action;
    };
    auto *actFind = newAction("actFind", tr("&Find in Page"), {QKeySequence::Find});
    connect(actFind, &QAction::triggered, m_findBar, &FindBar::activate);
    auto *actFindNext = newAction("actFindNext", tr("Find &Next"), {QKeySequence(Qt::Key_F3)});
    connect(actFindNext, &QAction::triggered, m_findBar, &FindBar::findNext);
    auto *actFindPrevious =
        newAction("actFindPrevious", tr("Find &Previous"), {QKeySequence(Qt::SHIFT | Qt::Key_F3)});
    connect(actFindPrevious, &QAction::triggered, m_findBar, &FindBar::findPrevious);

    constexpr int zoomStep = 10;
    auto *actZoomIn = newAction("actZoomIn", tr("Zoom &In"),
                                {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(actZoomIn, &QAction::triggered, this,
            [this] { txtPage->setZoom(txtPage->zoom() + zoomStep); });
    auto *actZoomOut = newAction("actZoomOut", tr("Zoom &Out"), {QKeySequence::ZoomOut});
    connect(actZoomOut, &QAction::triggered, this,
            [this] { txtPage->setZoom(txtPage->zoom() - zoomStep); });
    auto *actZoomReset =
        newAction("actZoomReset", tr("&Normal Size"), {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(actZoomReset, &QAction::triggered, this, [this] { txtPage->setZoom(100); });

    auto *actPrint = newAction("actPrint", tr("&Print…"), {QKeySequence::Print});
    actPrint->setIcon(QIcon::fromTheme(QStringLiteral("document-print")));
    connect(actPrint, &QAction::triggered, this, [this] {
        QPrinter printer;
        QPrintDialog dialog(&printer, this);
        if (txtPage->textCursor().hasSelection())
            dialog.setOption(QAbstractPrintDialog::PrintSelection);
        if (dialog.exec() == QDialog::Accepted)
            printPage(&printer);
    });

    auto *toolBar = findChild<QToolBar *>(QStringLiteral("tbrNavigation"));
    if (!toolBar)
        return;
    toolBar->addSeparator();
    toolBar->addAction(actZoomIn);
    toolBar->addAction(actZoomOut);
    toolBar->addAction(actPrint);
}

void HelpViewer::printPage(QPagedPaintDevice *printer) const
{
    txtPage->printPage(printer);
}

void HelpViewer::loadFile()
{
    if (isFileOpen())
        return;
    auto file = std::make_shared<ChmFile>();
    const bool opened = file->open(m_filePath);
    m_file = std::move(file);
    txtPage->setFile(m_file);
    const QString title = opened && !m_file->title().isEmpty()
                              ? m_file->title()
                              : NativeName::display(QFileInfo(m_filePath).completeBaseName());
    setWindowTitle(title.isEmpty() ? tr("Help") : title);
    fillContents();
    fillIndex();
    if (!opened)
        txtPage->setHtml(HelpBrowser::fileMessage(NativeName::display(m_filePath)));
    fileLoaded();
}

void HelpViewer::fileLoaded()
{
    m_searchPane->setFile(isFileOpen() ? m_file : nullptr);
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
    loadFile();
    tabNavigation->setCurrentIndex(0);
    if (!isFileOpen())
        return;
    const QString topic = m_file->defaultTopic();
    if (!topic.isEmpty())
        openPage(chmPageUrl(topic));
}

void HelpViewer::showIndex()
{
    loadFile();
    tabNavigation->setCurrentIndex(1);
    txtIndexFilter->setFocus();
    if (isFileOpen() && txtPage->source().isEmpty()) {
        const QString topic = m_file->defaultTopic();
        if (!topic.isEmpty())
            openPage(chmPageUrl(topic));
    }
}

void HelpViewer::showTopic(const QString &page)
{
    loadFile();
    tabNavigation->setCurrentIndex(0);
    if (!isFileOpen())
        return;
    const QUrl url = chmPageUrl(page);
    if (url.isValid()) {
        openPage(url);
    } else {
        // Nothing that could be a page: say so rather than stay on the last one.
        txtPage->setHtml(HelpBrowser::pageMessage(page));
    }
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

namespace {

QSettings placementSettings()
{
    const QString organisation = QCoreApplication::organizationName();
    return organisation.isEmpty()
               ? QSettings(QStringLiteral("QVXDemos"), QStringLiteral("QVXDemos"))
               : QSettings();
}

} // namespace

QRect HelpViewer::fitToScreen(const QRect &saved, const QRect &available)
{
    if (!saved.isValid() || !available.isValid())
        return {};
    QRect fitted(saved.topLeft(), saved.size().boundedTo(available.size()));
    // Moved back in whole, so no part (above all the title bar) is off the screen.
    fitted.moveRight(qMin(fitted.right(), available.right()));
    fitted.moveBottom(qMin(fitted.bottom(), available.bottom()));
    fitted.moveLeft(qMax(fitted.left(), available.left()));
    fitted.moveTop(qMax(fitted.top(), available.top()));
    return fitted;
}

void HelpViewer::showEvent(QShowEvent *event)
{
    if (!m_placementRestored) {
        m_placementRestored = true;
        restorePlacement();
    }
    QMainWindow::showEvent(event);
}

void HelpViewer::closeEvent(QCloseEvent *event)
{
    savePlacement();
    QMainWindow::closeEvent(event);
}

void HelpViewer::restorePlacement()
{
    QSettings settings = placementSettings();
    settings.beginGroup(QStringLiteral("HelpViewer"));
    const QRect saved = settings.value(QStringLiteral("geometry")).toRect();
    const bool maximized = settings.value(QStringLiteral("maximized"), false).toBool();
    const QScreen *screen = QGuiApplication::screenAt(saved.center());
    if (!screen)
        screen = this->screen();
    const QRect fitted = fitToScreen(saved, screen ? screen->availableGeometry() : QRect());
    if (fitted.isValid())
        setGeometry(fitted);
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void HelpViewer::savePlacement() const
{
    QSettings settings = placementSettings();
    settings.beginGroup(QStringLiteral("HelpViewer"));
    // The normal rectangle, so a maximised window comes back to it once restored.
    settings.setValue(QStringLiteral("geometry"), isMaximized() ? normalGeometry() : geometry());
    settings.setValue(QStringLiteral("maximized"), isMaximized());
}
