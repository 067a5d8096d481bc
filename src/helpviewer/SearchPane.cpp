#include "qvx/helpviewer/SearchPane.h"

#include "ListKeys.h"

#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmFullText.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace qvx::helpviewer {

using namespace qvx::help;

namespace {

constexpr int pathRole = Qt::UserRole;

} // namespace

SearchPane::SearchPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("paneSearch"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *label = new QLabel(tr("Type in the &words to search for:"), this);
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setClearButtonEnabled(true);
    label->setBuddy(txtSearch);
    auto *cmdSearch = new QPushButton(tr("&List Topics"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    lblSearchStatus = new QLabel(this);
    lblSearchStatus->setObjectName(QStringLiteral("lblSearchStatus"));
    lblSearchStatus->setWordWrap(true);
    lstSearchResults = new QListWidget(this);
    lstSearchResults->setObjectName(QStringLiteral("lstSearchResults"));
    // Hundreds of results of one line each: measuring each one would hold up the window.
    lstSearchResults->setUniformItemSizes(true);
    // The results are gone through from the text field, as the index's keywords are.
    new ListKeys(txtSearch, lstSearchResults);
    chkSearchPrevious = new QCheckBox(tr("Search previous res&ults"), this);
    chkSearchPrevious->setObjectName(QStringLiteral("chkSearchPrevious"));
    chkSearchPrevious->setToolTip(tr("Look only among the topics listed now"));
    chkSimilarWords = new QCheckBox(tr("&Match similar words"), this);
    chkSimilarWords->setObjectName(QStringLiteral("chkSimilarWords"));
    chkSimilarWords->setToolTip(tr("Also find words with the endings -s, -es, -ed, -ing and -ly "
                                   "added or taken off"));
    chkTitlesOnly = new QCheckBox(tr("Search &titles only"), this);
    chkTitlesOnly->setObjectName(QStringLiteral("chkTitlesOnly"));
    layout->addWidget(label);
    layout->addWidget(txtSearch);
    layout->addWidget(chkSearchPrevious);
    layout->addWidget(chkSimilarWords);
    layout->addWidget(chkTitlesOnly);
    layout->addWidget(cmdSearch, 0, Qt::AlignRight);
    layout->addWidget(lblSearchStatus);
    layout->addWidget(lstSearchResults, 1);

    const auto searchTyped = [this] { search(txtSearch->text()); };
    connect(txtSearch, &QLineEdit::returnPressed, this, searchTyped);
    connect(cmdSearch, &QPushButton::clicked, this, searchTyped);
    connect(lstSearchResults, &QListWidget::itemActivated, this, &SearchPane::openResult);
    connect(lstSearchResults, &QListWidget::itemClicked, this, &SearchPane::openResult);
    for (QCheckBox *option : {chkSearchPrevious, chkSimilarWords, chkTitlesOnly})
        connect(option, &QCheckBox::toggled, this, &SearchPane::optionsChanged);
    connect(&m_prepareWatcher, &QFutureWatcherBase::finished, this, &SearchPane::prepared);
    connect(&m_searchWatcher, &QFutureWatcherBase::finished, this, &SearchPane::showResults);
}

SearchPane::~SearchPane()
{
    cancelAll();
    // The workers hold the file and index themselves; waiting keeps their progress reports
    // from outliving this pane.
    for (QFuture<void> &running : m_running)
        running.waitForFinished();
}

void SearchPane::cancelAll()
{
    if (m_prepareCancel)
        *m_prepareCancel = true;
    if (m_searchCancel)
        *m_searchCancel = true;
    m_running.removeIf([](const QFuture<void> &future) { return future.isFinished(); });
}

void SearchPane::setFile(std::shared_ptr<const ChmFile> file)
{
    if (file == m_file)
        return;
    cancelAll();
    m_file = std::move(file);
    m_fileIndex.reset();
    m_builtIndex.reset();
    m_preparing = false;
    m_awaitingFile = false;
    lstSearchResults->clear();
    if (!m_file || !m_file->isOpen()) {
        m_pendingQuery.clear();
        lblSearchStatus->setText(tr("There is no help file to search."));
        return;
    }
    lblSearchStatus->setText(tr("Preparing the search…"));
    m_preparing = true;
    m_prepareCancel = std::make_shared<std::atomic_bool>(false);
    auto report = [this](int done, int total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
    };
    QFuture<Prepared> future =
        QtConcurrent::run([file = m_file, cancel = m_prepareCancel, report]() -> Prepared {
            if (std::shared_ptr<const ChmFullText> own = ChmFullText::fromFile(*file))
                return {own, nullptr};
            return {nullptr, SearchIndex::build(*file, *cancel, report)};
        });
    m_running.append(QFuture<void>(future));
    m_prepareWatcher.setFuture(future);
}

// For a query with a word the file's own index lacks.
void SearchPane::buildIndex()
{
    m_preparing = true;
    lblSearchStatus->setText(tr("Building the search index…"));
    auto report = [this](int done, int total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
    };
    QFuture<Prepared> future =
        QtConcurrent::run([file = m_file, cancel = m_prepareCancel, report]() -> Prepared {
            return {nullptr, SearchIndex::build(*file, *cancel, report)};
        });
    m_running.removeIf([](const QFuture<void> &running) { return running.isFinished(); });
    m_running.append(QFuture<void>(future));
    m_prepareWatcher.setFuture(future);
}

void SearchPane::awaitFile()
{
    setFile(nullptr);
    m_awaitingFile = true;
    lblSearchStatus->setText(tr("Preparing the search…"));
}

void SearchPane::showProgress(int done, int total)
{
    // Results found meanwhile in the file's own index keep their count shown.
    if (m_preparing && (!isReady() || !m_pendingQuery.isEmpty()))
        lblSearchStatus->setText(
            tr("Building the search index: %1 of %2 pages…").arg(done).arg(total));
}

void SearchPane::prepared()
{
    if (m_prepareWatcher.future().isCanceled() || *m_prepareCancel)
        return;
    const Prepared result = m_prepareWatcher.result();
    if (result.fileIndex)
        m_fileIndex = result.fileIndex;
    if (result.builtIndex)
        m_builtIndex = result.builtIndex;
    m_preparing = false;
    if (!m_pendingQuery.isEmpty())
        startSearch(std::exchange(m_pendingQuery, QString()), std::exchange(m_pendingWithin, {}));
    else if (!m_searchCancel || *m_searchCancel) // no search's outcome on show
        lblSearchStatus->setText(tr("Ready to search."));
}

SearchPane::Options SearchPane::options() const
{
    return {{chkTitlesOnly->isChecked(), chkSimilarWords->isChecked()},
            chkSearchPrevious->isChecked()};
}

void SearchPane::setOptions(const Options &options)
{
    const QSignalBlocker previous(chkSearchPrevious);
    const QSignalBlocker similar(chkSimilarWords);
    const QSignalBlocker titles(chkTitlesOnly);
    chkSearchPrevious->setChecked(options.previousResults);
    chkSimilarWords->setChecked(options.match.similarWords);
    chkTitlesOnly->setChecked(options.match.titlesOnly);
}

std::optional<QSet<QString>> SearchPane::previousResults() const
{
    // With nothing listed there is nothing to narrow: the whole file is searched.
    if (!chkSearchPrevious->isChecked() || lstSearchResults->count() == 0)
        return std::nullopt;
    QSet<QString> keys;
    for (int row = 0; row < lstSearchResults->count(); ++row)
        keys.insert(SearchQuery::resultKey(lstSearchResults->item(row)->data(pathRole).toString()));
    return keys;
}

void SearchPane::search(const QString &query)
{
    startSearch(query, previousResults());
}

void SearchPane::startSearch(const QString &query, const std::optional<QSet<QString>> &within)
{
    if (txtSearch->text() != query)
        txtSearch->setText(query);
    if (m_searchCancel)
        *m_searchCancel = true;
    lstSearchResults->clear();
    SearchQuery parsed = parseSearchQuery(query, options().match);
    parsed.within = within;
    m_searchedWithin = within.has_value();
    m_terms = parsed.terms;
    // Every form found is marked in the page.
    QSet<QString> marked(m_terms.cbegin(), m_terms.cend());
    for (const QSet<QString> &forms : std::as_const(parsed.forms)) {
        for (const QString &form : forms) {
            if (!marked.contains(form)) {
                marked.insert(form);
                m_terms.append(form);
            }
        }
    }
    if (parsed.isEmpty()) {
        lblSearchStatus->clear();
        return;
    }
    if ((!m_file || !m_file->isOpen()) && !m_awaitingFile)
        return;
    std::shared_ptr<const SearchSource> source;
    if (m_fileIndex && m_fileIndex->holdsTermsOf(parsed))
        source = m_fileIndex;
    else if (m_builtIndex)
        source = m_builtIndex;
    if (!source) {
        m_pendingQuery = query;
        m_pendingWithin = within;
        if (m_fileIndex && !m_preparing)
            buildIndex();
        else if (!m_fileIndex)
            lblSearchStatus->setText(tr("The search index is being prepared; the search follows."));
        return;
    }
    m_pendingQuery.clear();
    lblSearchStatus->setText(tr("Searching…"));
    m_searchCancel = std::make_shared<std::atomic_bool>(false);
    QFuture<QList<SearchHit>> future = QtConcurrent::run(
        [source, parsed, cancel = m_searchCancel] { return source->search(parsed, *cancel); });
    m_running.removeIf([](const QFuture<void> &running) { return running.isFinished(); });
    m_running.append(QFuture<void>(future));
    m_searchWatcher.setFuture(future);
}

void SearchPane::showResults()
{
    if (*m_searchCancel)
        return;
    const QList<SearchHit> hits = m_searchWatcher.result();
    for (const SearchHit &hit : hits) {
        auto *item = new QListWidgetItem(hit.title, lstSearchResults);
        item->setToolTip(hit.path.mid(1));
        item->setData(pathRole, hit.path);
    }
    // Worded out rather than "%n topic(s)", which shows as written without a translation.
    const int found = int(hits.size());
    const QString count = QLocale().toString(found);
    if (m_searchedWithin)
        lblSearchStatus->setText(
            found == 0   ? tr("No topics found among the previous results.")
            : found == 1 ? tr("1 topic found among the previous results.")
                         : tr("%1 topics found among the previous results.").arg(count));
    else
        lblSearchStatus->setText(found == 0   ? tr("No topics found.")
                                 : found == 1 ? tr("1 topic found.")
                                              : tr("%1 topics found.").arg(count));
    if (!hits.isEmpty())
        lstSearchResults->setCurrentRow(0);
    readTitles(hits);
}

// Pages the file's tables leave untitled are read, best first, for their own title or heading;
// the next search stops the reading.
void SearchPane::readTitles(const QList<SearchHit> &hits)
{
    QList<std::pair<int, QString>> untitled;
    for (qsizetype row = 0; row < hits.size(); ++row) {
        if (hits[row].titleMissing)
            untitled.append({int(row), hits[row].path});
    }
    if (untitled.isEmpty() || !m_file)
        return;
    // The pane waits for this reading before its list goes.
    QFuture<void> future =
        QtConcurrent::run([this, file = m_file, cancel = m_searchCancel, untitled] {
            for (const auto &wanted : untitled) {
                // Copies: clang before 16 cannot capture a structured binding.
                const int row = wanted.first;
                const QString path = wanted.second;
                if (*cancel)
                    return;
                const ChmFile::Object page = file->fetch(path, qvx::chm::maxPageBytes);
                if (page.status != qvx::chmreader::Outcome::Ok)
                    continue;
                const PageText text = pageText(file->decodePage(page.bytes));
                const QString title = pageTitle(path, text.title, text.heading);
                QMetaObject::invokeMethod(
                    this,
                    [this, cancel, row, path, title] {
                        QListWidgetItem *item = lstSearchResults->item(row);
                        if (!*cancel && item && item->data(pathRole).toString() == path)
                            item->setText(title);
                    },
                    Qt::QueuedConnection);
            }
        });
    m_running.append(future);
}

void SearchPane::openResult(QListWidgetItem *item)
{
    if (!item)
        return;
    const QUrl url = chmPageUrl(item->data(pathRole).toString());
    if (url.isValid())
        emit pageChosen(url, m_terms);
}

} // namespace qvx::helpviewer
