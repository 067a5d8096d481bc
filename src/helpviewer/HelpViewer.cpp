#include "qvx/helpviewer/HelpViewer.h"

#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmTopics.h"
#include "qvx/help/ContentsModel.h"
#include "qvx/help/HelpLoader.h"
#include "qvx/help/IndexModel.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/ContentsPane.h"
#include "qvx/helpviewer/FavoritesPane.h"
#include "qvx/helpviewer/FileMenu.h"
#include "qvx/helpviewer/FindBar.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/IndexPane.h"
#include "qvx/helpviewer/SearchPane.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>

namespace qvx::helpviewer {

using namespace qvx::help;

using namespace Qt::StringLiterals;

namespace {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp");
}

// Our own pictures for buttons the desktop's icon theme may have none for, drawn at the sizes
// tool bars use so that none is scaled from another.
enum class Picture { Find, ZoomIn, ZoomOut, Print };

QIcon drawnIcon(Picture picture, const QPalette &palette)
{
    QIcon icon;
    const QColor ink = palette.color(QPalette::WindowText);
    for (const int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (picture == Picture::Print) {
            painter.setBrush(palette.color(QPalette::Base));
            painter.drawRect(QRectF(4.5, 1.5, 7, 5));
            painter.setBrush(palette.color(QPalette::Button));
            painter.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1, 1);
            painter.setBrush(palette.color(QPalette::Base));
            painter.drawRect(QRectF(4.5, 10, 7, 4.5));
        } else {
            painter.setBrush(palette.color(QPalette::Base));
            painter.drawEllipse(QPointF(6.5, 6.5), 4.75, 4.75);
            painter.setPen(QPen(ink, 2.5, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(10.2, 10.2), QPointF(14.5, 14.5));
            painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
            if (picture != Picture::Find)
                painter.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
            if (picture == Picture::ZoomIn)
                painter.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The desktop's icon where its theme has one.
QIcon themeIcon(const char *name, const QIcon &fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

// "Zoom In (Ctrl++)": the button's words and its first key.
void showKeyInToolTip(QAction *action)
{
    QString text = action->iconText();
    if (!action->shortcut().isEmpty())
        text = QCoreApplication::translate("HelpViewer", "%1 (%2)")
                   .arg(text, action->shortcut().toString(QKeySequence::NativeText));
    action->setToolTip(text);
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
    resize(880, 600);
    loadFile();
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::createControls()
{
    txtPage = new HelpBrowser(m_filePath, this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    connect(txtPage, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &HelpViewer::selectContentsEntry);
    // The browser changes its page and its address one after the other: both are looked at
    // once it is done.
    const auto pageChanged = [this] {
        if (!std::exchange(m_pageShownQueued, true))
            QMetaObject::invokeMethod(this, &HelpViewer::pageShown, Qt::QueuedConnection);
    };
    connect(txtPage, &QTextBrowser::sourceChanged, this, pageChanged);
    connect(txtPage, &QTextEdit::textChanged, this, [this, pageChanged] {
        m_showsOpening = false;
        pageChanged();
    });
    connect(txtPage, &HelpBrowser::waitingForFile, this, [this](bool waiting) {
        if (waiting)
            setCursor(Qt::BusyCursor);
        else if (!m_loading)
            unsetCursor();
        if (!waiting && m_indexWanted)
            QMetaObject::invokeMethod(this, &HelpViewer::fileIndexed, Qt::QueuedConnection);
    });
    connect(txtPage, &HelpBrowser::fileChanged, this, &HelpViewer::reopen);

    treContents = new ContentsPane(this);
    connect(treContents, &ContentsPane::pageChosen, this, &HelpViewer::followLink);

    m_indexPane = new IndexPane(this);
    txtIndexFilter = m_indexPane->keywordBox();
    connect(m_indexPane, &IndexPane::keywordChosen, this, &HelpViewer::indexItemActivated);
    connect(m_indexPane, &IndexPane::topicChosen, this, &HelpViewer::followLink);

    tabNavigation = new QTabWidget(this);
    tabNavigation->setObjectName(QStringLiteral("tabNavigation"));
    tabNavigation->addTab(treContents, tr("&Contents"));
    tabNavigation->addTab(m_indexPane, tr("I&ndex"));
    // The pane is never narrower than its tabs: a tab scrolled out of sight is one the user
    // does not know is there.
    tabNavigation->setUsesScrollButtons(false);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(tabNavigation);
    splitter->addWidget(txtPage);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({290, 590});
    setCentralWidget(splitter);
    createSearchPane();
    createFavoritesPane();
}

namespace {

// How long a notice stays on the status line: long enough to be read.
constexpr int noticeMs = 20000;

QString favoritesKey(const QString &filePath)
{
    // A file name may hold what the settings take for separators.
    return QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(filePath).fileName()));
}

QSettings placementSettings();

const QString searchGroup = QStringLiteral("HelpViewer/Search");
const QString previousResultsKey = QStringLiteral("previousResults");
const QString similarWordsKey = QStringLiteral("similarWords");
const QString titlesOnlyKey = QStringLiteral("titlesOnly");

} // namespace

void HelpViewer::createSearchPane()
{
    m_searchPane = new SearchPane(tabNavigation);
    tabNavigation->addTab(m_searchPane, tr("&Search"));
    connect(m_searchPane, &SearchPane::pageChosen, txtPage, &HelpBrowser::showFound);
    // The options are the user's way of searching, the same for every help file.
    QSettings settings = placementSettings();
    settings.beginGroup(searchGroup);
    SearchPane::Options options;
    options.previousResults = settings.value(previousResultsKey, false).toBool();
    options.match.similarWords = settings.value(similarWordsKey, false).toBool();
    options.match.titlesOnly = settings.value(titlesOnlyKey, false).toBool();
    m_searchPane->setOptions(options);
    connect(m_searchPane, &SearchPane::optionsChanged, this, [this] {
        const SearchPane::Options chosen = m_searchPane->options();
        QSettings kept = placementSettings();
        kept.beginGroup(searchGroup);
        kept.setValue(previousResultsKey, chosen.previousResults);
        kept.setValue(similarWordsKey, chosen.match.similarWords);
        kept.setValue(titlesOnlyKey, chosen.match.titlesOnly);
    });
}

void HelpViewer::createFavoritesPane()
{
    m_favoritesPane = new FavoritesPane(tabNavigation);
    tabNavigation->addTab(m_favoritesPane, tr("Favor&ites"));
    QSettings settings = placementSettings();
    settings.beginGroup(QStringLiteral("HelpViewer/Favorites"));
    QList<FavoritesPane::Favorite> favorites;
    // A damaged settings file may claim any count.
    const int count =
        std::min(settings.beginReadArray(favoritesKey(m_filePath)), FavoritesPane::maxFavorites);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QString title = settings.value(QStringLiteral("title")).toString();
        const QString page = settings.value(QStringLiteral("page")).toString();
        if (!title.isEmpty() && !page.isEmpty())
            favorites.append({title, page});
    }
    settings.endArray();
    m_favoritesPane->setFavorites(favorites);
    connect(m_favoritesPane, &FavoritesPane::favoritesChanged, this, &HelpViewer::saveFavorites);
    connect(m_favoritesPane, &FavoritesPane::favoriteChosen, this,
            [this](const FavoritesPane::Favorite &favorite) {
                openFavorite(favorite.title, favorite.page);
            });
    connect(m_favoritesPane, &FavoritesPane::listFull, this, [this] {
        statusBar()->showMessage(tr("At most %L1 favorites are kept: remove one to add another.")
                                     .arg(FavoritesPane::maxFavorites),
                                 noticeMs);
    });
}

void HelpViewer::saveFavorites() const
{
    QSettings settings = placementSettings();
    settings.beginGroup(QStringLiteral("HelpViewer/Favorites"));
    const QString key = favoritesKey(m_filePath);
    settings.remove(key);
    const QList<FavoritesPane::Favorite> favorites = m_favoritesPane->favorites();
    if (favorites.isEmpty())
        return;
    settings.beginWriteArray(key, int(favorites.size()));
    for (int i = 0; i < favorites.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("title"), favorites[i].title);
        settings.setValue(QStringLiteral("page"), favorites[i].page);
    }
    settings.endArray();
}

void HelpViewer::openFavorite(const QString &title, const QString &page)
{
    const QUrl url = chmPageUrl(page);
    const QString missing = tr("The favorite \"%1\" is not in this help file.").arg(title);
    if (!url.isValid() || !isFileOpen()) {
        if (isFileOpen())
            txtPage->setHtml(HelpBrowser::pageMessage(page));
        statusBar()->showMessage(missing, noticeMs);
        return;
    }
    openPage(url);
    // The page shows the file's own message; the status line says which favourite it was.
    m_file->fetchLater(chmLookupPath(url), 0, this,
                       [this, missing, file = m_file](const ChmFile::Object &object) {
                           if (file == m_file && object.status == qvx::chmreader::Outcome::NotFound)
                               statusBar()->showMessage(missing, noticeMs);
                       });
}

void HelpViewer::pageShown()
{
    m_pageShownQueued = false;
    const QUrl source = txtPage->source();
    if (!actPreviousTopic)
        return; // the window is still being made
    const bool ours = source.scheme() == chmScheme();
    actPreviousTopic->setEnabled(
        ours && !treContents->contentsModel()->neighbourPage(source, -1).isEmpty());
    actNextTopic->setEnabled(ours &&
                             !treContents->contentsModel()->neighbourPage(source, 1).isEmpty());
    // The page's own title, else its entry in the contents, else its file name.
    QString title = txtPage->documentTitle().simplified();
    if (title.isEmpty() && ours) {
        const QModelIndex entry = treContents->contentsModel()->indexOfPage(source);
        title = entry.isValid() ? entry.data().toString().simplified()
                                : QFileInfo(chmLookupPath(source)).fileName();
    }
    // Typing a title of one's own is not undone by the page laying itself out again.
    if (source == m_offeredPage && title == m_offeredTitle)
        return;
    m_offeredPage = source;
    m_offeredTitle = title;
    m_favoritesPane->setCurrentPage(
        ours ? source.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded)
             : QString(),
        title);
}

void HelpViewer::createTopicActions(QToolBar *toolBar)
{
    toolBar->addSeparator();
    // Through the contents in reading order, whatever page the user came by.
    const auto step = [this](int direction) {
        const QUrl page = treContents->contentsModel()->neighbourPage(txtPage->source(), direction);
        if (!page.isEmpty())
            openPage(page);
    };
    actPreviousTopic = toolBar->addAction(
        themeIcon("go-up", style()->standardIcon(QStyle::SP_ArrowUp)), tr("Pre&vious"));
    actPreviousTopic->setObjectName(QStringLiteral("actPreviousTopic"));
    actPreviousTopic->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    actPreviousTopic->setEnabled(false);
    connect(actPreviousTopic, &QAction::triggered, this, [step] { step(-1); });
    actNextTopic = toolBar->addAction(
        themeIcon("go-down", style()->standardIcon(QStyle::SP_ArrowDown)), tr("Ne&xt"));
    actNextTopic->setObjectName(QStringLiteral("actNextTopic"));
    actNextTopic->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    actNextTopic->setEnabled(false);
    connect(actNextTopic, &QAction::triggered, this, [step] { step(1); });
    actPreviousTopic->setToolTip(
        tr("Previous topic in the contents (%1)")
            .arg(actPreviousTopic->shortcut().toString(QKeySequence::NativeText)));
    actNextTopic->setToolTip(tr("Next topic in the contents (%1)")
                                 .arg(actNextTopic->shortcut().toString(QKeySequence::NativeText)));
}

void HelpViewer::createActions()
{
    addFileMenu(this, [this](const QString &file) { emit openRequested(file); });
    auto *toolBar = addToolBar(tr("Navigation"));
    toolBar->setObjectName(QStringLiteral("tbrNavigation"));
    toolBar->setMovable(false);
    // Words under the pictures: every button fits beside the others on a window's first width.
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

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
    // As web browsers have it.
    actHome->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    for (QAction *action : {actBack, actForward, actHome})
        showKeyInToolTip(action);
    connect(actHome, &QAction::triggered, this, [this] {
        if (isFileOpen())
            openPage(chmPageUrl(m_file->defaultTopic()));
    });

    // Shows the page's place in the contents again, after the user has closed its books.
    auto *actLocate =
        toolBar->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), tr("&Locate"));
    actLocate->setObjectName(QStringLiteral("actLocate"));
    actLocate->setToolTip(tr("Show the current page in the contents"));
    connect(actLocate, &QAction::triggered, this, [this] {
        tabNavigation->setCurrentWidget(treContents);
        selectContentsEntry(txtPage->source());
    });
    createTopicActions(toolBar);
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
    actFind->setIcon(themeIcon("edit-find", drawnIcon(Picture::Find, palette())));
    actFind->setIconText(tr("Find"));
    connect(actFind, &QAction::triggered, m_findBar, &FindBar::activate);
    auto *actFindNext = newAction("actFindNext", tr("Find &Next"), {QKeySequence(Qt::Key_F3)});
    connect(actFindNext, &QAction::triggered, m_findBar, &FindBar::findNext);
    auto *actFindPrevious =
        newAction("actFindPrevious", tr("Find &Previous"), {QKeySequence(Qt::SHIFT | Qt::Key_F3)});
    connect(actFindPrevious, &QAction::triggered, m_findBar, &FindBar::findPrevious);

    constexpr int zoomStep = 10;
    auto *actZoomIn = newAction("actZoomIn", tr("Zoom &In"),
                                {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    actZoomIn->setIcon(themeIcon("zoom-in", drawnIcon(Picture::ZoomIn, palette())));
    connect(actZoomIn, &QAction::triggered, this,
            [this] { txtPage->setZoom(txtPage->zoom() + zoomStep); });
    auto *actZoomOut = newAction("actZoomOut", tr("Zoom &Out"), {QKeySequence::ZoomOut});
    actZoomOut->setIcon(themeIcon("zoom-out", drawnIcon(Picture::ZoomOut, palette())));
    connect(actZoomOut, &QAction::triggered, this,
            [this] { txtPage->setZoom(txtPage->zoom() - zoomStep); });
    auto *actZoomReset =
        newAction("actZoomReset", tr("&Normal Size"), {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(actZoomReset, &QAction::triggered, this, [this] { txtPage->setZoom(100); });

    auto *actPrint = newAction("actPrint", tr("&Print…"), {QKeySequence::Print});
    actPrint->setIcon(themeIcon("document-print", drawnIcon(Picture::Print, palette())));
    actPrint->setIconText(tr("Print"));
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
    for (QAction *action : {actFind, actZoomIn, actZoomOut, actPrint}) {
        toolBar->addAction(action);
        showKeyInToolTip(action);
    }
}

void HelpViewer::printPage(QPagedPaintDevice *printer) const
{
    txtPage->printPage(printer);
}

void HelpViewer::loadFile()
{
    if (m_loading)
        return;
    const auto known = HelpLoader::known(m_filePath);
    // The file as it is now: one that changed since it was opened is opened again.
    if (isFileOpen() && known && *known == m_file)
        return;
    if (known) {
        fileArrived(*known);
        return;
    }
    m_loading = true;
    m_reopening = isFileOpen();
    setCursor(Qt::BusyCursor);
    if (!isFileOpen()) {
        setWindowTitle(NativeName::display(QFileInfo(m_filePath).completeBaseName()));
        txtPage->setHtml(
            u"<p>"_s + tr("Opening %1\u2026").arg(NativeName::display(m_filePath).toHtmlEscaped()) +
            u"</p>"_s);
        m_showsOpening = true;
    }
    HelpLoader::open(m_filePath, this,
                     [this](std::shared_ptr<const ChmFile> file) { fileArrived(std::move(file)); });
}

void HelpViewer::reopen(const QUrl &wanted)
{
    if (m_loading)
        return;
    m_waiting.prepend([this, wanted] {
        if (isFileOpen() && wanted.isValid() && !wanted.isEmpty())
            openPage(wanted);
    });
    loadFile();
}

bool HelpViewer::isPageWaiting() const
{
    return txtPage->isWaitingForFile();
}

void HelpViewer::fileArrived(std::shared_ptr<const ChmFile> file)
{
    m_loading = true; // until the waiting requests are served
    m_settled = false;
    const bool opened = file && file->isOpen();
    m_file = opened ? std::move(file) : std::make_shared<const ChmFile>();
    txtPage->setFile(m_file);
    const QString title = opened && !m_file->title().isEmpty()
                              ? m_file->title()
                              : NativeName::display(QFileInfo(m_filePath).completeBaseName());
    setWindowTitle(title.isEmpty() ? tr("Help") : title);
    if (std::exchange(m_reopening, false))
        statusBar()->showMessage(opened ? tr("The help file has changed; it was opened again.")
                                        : tr("The help file has changed and cannot be opened."),
                                 noticeMs);
    fillContents();
    // The index and the search come once the first page is out.
    m_indexPane->setEntries({});
    m_searchPane->setFile(nullptr);
    if (opened)
        RecentFiles::add(m_filePath);
    if (!opened) {
        serveWaiting();
        return;
    }
    // The page and the index of a large file each take a while: the window answers between.
    QMetaObject::invokeMethod(
        this,
        [this, arrived = m_file] {
            if (arrived == m_file)
                serveWaiting();
        },
        Qt::QueuedConnection);
}

void HelpViewer::serveWaiting()
{
    m_loading = false;
    unsetCursor();
    const bool opened = isFileOpen();
    if (!opened)
        txtPage->setHtml(HelpBrowser::fileMessage(NativeName::display(m_filePath)));
    const QList<std::function<void()>> waiting = std::exchange(m_waiting, {});
    for (const std::function<void()> &request : waiting)
        request();
    emit fileLoaded();
    if (!opened) {
        m_settled = true;
        return;
    }
    if (!m_file->isIndexed())
        m_searchPane->awaitFile();
    m_indexWanted = false;
    HelpLoader::whenIndexed(m_file, this, [this, file = m_file] {
        if (file == m_file)
            fileIndexed();
    });
}

void HelpViewer::fileIndexed()
{
    // A large index takes a while to list, and preparing the search reads the file: neither
    // holds up the page asked for.
    if (isFileOpen() && !m_file->isIndexed())
        return; // a newer file's, still on its way
    m_indexWanted = txtPage->isWaitingForFile();
    if (m_indexWanted)
        return;
    fillIndex();
    prepareSearch();
    m_settled = true;
}

void HelpViewer::whenLoaded(std::function<void()> request)
{
    loadFile();
    if (m_loading)
        m_waiting.append(std::move(request));
    else
        request();
}

void HelpViewer::prepareSearch()
{
    m_searchPane->setFile(isFileOpen() && m_file->isIndexed() ? m_file : nullptr);
}

void HelpViewer::fillContents()
{
    treContents->setEntries(m_file ? m_file->contents() : QList<SitemapEntry>());
    selectContentsEntry(txtPage->source());
    pageShown();
}

void HelpViewer::fillIndex()
{
    m_indexPane->setEntries(m_file ? m_file->index() : QList<SitemapEntry>());
}

void HelpViewer::indexItemActivated(int row)
{
    const SitemapEntry *entry = m_indexPane->indexModel()->entry(row);
    if (!entry || entry->targets.isEmpty())
        return;
    if (entry->targets.size() == 1) {
        m_indexPane->hideTopics();
        followLink(sitemapTargetUrl(entry->targets.first().local));
        return;
    }
    // Several pages under one keyword: the user picks, by each page's title. A sitemap that
    // only repeats the keyword leaves the page's own title to tell them apart.
    const QHash<QString, QString> titles =
        m_file ? m_file->topicTitles() : QHash<QString, QString>();
    QList<IndexPane::Topic> topics;
    for (const SitemapTarget &target : entry->targets) {
        QString title = target.title;
        if (title.compare(entry->name, Qt::CaseInsensitive) == 0)
            title = titles.value(topicKey(target.local), title);
        topics.append({title, sitemapTargetUrl(target.local)});
    }
    m_indexPane->showTopics(topics);
}

void HelpViewer::showContents()
{
    tabNavigation->setCurrentIndex(0);
    whenLoaded([this] {
        if (!isFileOpen())
            return;
        // Without contents the index is what there is to find pages by.
        if (m_file->contents().isEmpty())
            tabNavigation->setCurrentWidget(m_indexPane);
        const QString topic = m_file->defaultTopic();
        if (!topic.isEmpty())
            openPage(chmPageUrl(topic));
        else
            clearOpening();
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
            else
                clearOpening();
        }
    });
}

// A file without a start page shows none, rather than still say it is opening.
void HelpViewer::clearOpening()
{
    if (m_showsOpening)
        txtPage->clear();
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
    treContents->selectPage(url);
}

namespace {

QSettings placementSettings()
{
    const QString organisation = QCoreApplication::organizationName();
    return organisation.isEmpty()
               ? QSettings(QStringLiteral("QVXDemos"), QStringLiteral("QVXDemos"))
               : QSettings();
}

// One side of fitToScreen: from `first` to `last`, shortened to fit from `low` to `high` and
// moved in whole. Counted wide, as saved numbers may be anything.
std::pair<int, int> fitSpan(int first, int last, int low, int high)
{
    const qint64 length = qMin(qint64(last) - first + 1, qint64(high) - low + 1);
    const qint64 start = qBound(qint64(low), qint64(first), qint64(high) + 1 - length);
    return {int(start), int(length)};
}

} // namespace

QRect HelpViewer::fitToScreen(const QRect &saved, const QRect &available)
{
    if (!saved.isValid() || !available.isValid())
        return {};
    // Moved back in whole, so no part (above all the title bar) is off the screen.
    const auto [left, width] =
        fitSpan(saved.left(), saved.right(), available.left(), available.right());
    const auto [top, height] =
        fitSpan(saved.top(), saved.bottom(), available.top(), available.bottom());
    return QRect(left, top, width, height);
}

void HelpViewer::showEvent(QShowEvent *event)
{
    if (!m_placementRestored) {
        m_placementRestored = true;
        restorePlacement();
        watchFrame();
    }
    QMainWindow::showEvent(event);
}

QRect HelpViewer::wholeOnScreen(const QRect &wanted, const QMargins &frame) const
{
    const QScreen *screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        screen = this->screen();
    return fitToScreen(wanted,
                       screen ? screen->availableGeometry().marginsRemoved(frame) : QRect());
}

void HelpViewer::watchFrame()
{
    // The window manager's frame is known only once the window is on the screen, and never
    // without one: until then the window was fitted as if it had none. While the manager
    // takes the window in, Qt may see a frame of no size or a bare outline: neither counts.
    auto *watch = new QTimer(this);
    watch->setInterval(10);
    connect(watch, &QTimer::timeout, this, [this, watch, deadline = QDeadlineTimer(2000)] {
        const QWindow *window = windowHandle();
        const QMargins frame = window ? window->frameMargins() : QMargins();
        const bool known = window && window->isExposed() && !frame.isNull() && frame.left() >= 0 &&
                           frame.top() >= 0 && frame.right() >= 0 && frame.bottom() >= 0;
        if (known && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            const QRect fitted = wholeOnScreen(geometry(), frame);
            if (fitted.isValid() && fitted != geometry())
                setGeometry(fitted);
        }
        if (known || deadline.hasExpired()) {
            watch->stop();
            watch->deleteLater();
        }
    });
    watch->start();
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
    // Before the first show the frame counts as none.
    const QRect fitted = wholeOnScreen(saved, {});
    if (fitted.isValid()) {
        setGeometry(fitted);
        m_placeRemembered = true;
    }
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

} // namespace qvx::helpviewer
