#include "app/FrmPlayDemos.h"

#include "BuildInfo.h"
#include "about/FrmAbout.h"
#include "app/CaptionFit.h"
#include "app/FormStyle.h"
#include "app/LineControl.h"
#include "app/Module1.h"
#include "app/Twips.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileListBox.h"
#include "platform/Platform.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

QPointer<FrmPlayDemos> frmPlayDemos;

// The pictures live in the core library, which the linker would otherwise leave them out of.
static void initResources()
{
    Q_INIT_RESOURCE(qvx);
}

namespace {

// Outer size fixed at load, and the note frame's place beside the edition frame.
constexpr int outerWidth = 6825;
constexpr int outerHeight = 4620;
constexpr int noteLeft = 2760;
constexpr int noteTop = 1860;

} // namespace

using FormStyle::named;
using FormStyle::setTextColour;

FrmPlayDemos::FrmPlayDemos(Platform &platform) : m_platform(platform)
{
    initResources();
    setObjectName(QStringLiteral("frmPlayDemos"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromLatin1(BuildInfo::productName));
    setWindowIcon(QIcon(QStringLiteral(":/qvx/camera.png")));
    setFont(FormStyle::windowFont());

    createControls();
    createMenus();
    connectHandlers();
    setTabOrderAndFocus();
    for (QWidget *control : m_client->findChildren<QWidget *>())
        fitCaption(control, control->font());

    const Twips twips = Twips::forWidget(this);
    // Client area at design time; load replaces it with the fixed outer size.
    m_client->setFixedSize(twips.px(6705), twips.px(3840));
}

FrmPlayDemos::~FrmPlayDemos()
{
    // The base class tears the controls down after this; none of their signals or key
    // events may reach the handlers of a window that is already half gone.
    for (QObject *child : findChildren<QObject *>()) {
        child->disconnect(this);
        child->removeEventFilter(this);
    }
}

void FrmPlayDemos::createControls()
{
    const Twips t = Twips::forWidget(this);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);

    // Title band: the grey copy first, so that the black title is drawn over it.
    auto makeTitle = [&](int index, const QRect &rect, const QColor &colour) {
        auto *label = named(new QLabel(QString::fromLatin1(BuildInfo::productName), m_client),
                            index == 3 ? "Label4_3" : "Label4_4");
        label->setFont(FormStyle::font(QLatin1String("Verdana"), 27.75, true, true));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(rect);
        setTextColour(label, colour);
        Label4[size_t(index)] = label;
    };
    makeTitle(4, t.rect(225, 30, 6495, 1575), QColor(128, 128, 128));
    makeTitle(3, t.rect(180, 0, 6615, 1575), QColor(0, 0, 0));
    Line1[0] = named(new LineControl({t.px(120), t.px(1620)}, {t.px(6540), t.px(1620)},
                                     QColor(128, 128, 128), 1, m_client),
                     "Line1_0");
    Line1[1] = named(new LineControl({t.px(120), t.px(1635)}, {t.px(6540), t.px(1635)},
                                     QColor(255, 255, 255), 1, m_client),
                     "Line1_1");

    // Middle band.
    Frame1 = named(new QGroupBox(QStringLiteral("Program Version"), m_client), "Frame1");
    Frame1->setGeometry(t.rect(180, 1860, 2415, 1035));
    optDemoVersion[1] =
        named(new QRadioButton(QStringLiteral("Quorvex Junior"), Frame1), "optDemoVersion_1");
    optDemoVersion[1]->setGeometry(t.rect(180, 360, 2115, 195));
    optDemoVersion[0] =
        named(new QRadioButton(QStringLiteral("Quorvex"), Frame1), "optDemoVersion_0");
    optDemoVersion[0]->setGeometry(t.rect(180, 660, 1635, 195));

    fraDemoInfo =
        named(new QGroupBox(QStringLiteral("Related Demo Information"), m_client), "fraDemoInfo");
    fraDemoInfo->setGeometry(t.rect(6240, 1860, 3795, 1035));
    fraDemoInfo->hide();
    lblInfo = named(new QLabel(fraDemoInfo), "lblInfo");
    lblInfo->setGeometry(t.rect(180, 300, 3495, 615));
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(lblInfo, QColor(0, 0, 192));

    // Bottom row.
    Label4[0] =
        named(new QLabel(QStringLiteral("Select a demo from the list and click Play:"), m_client),
              "Label4_0");
    Label4[0]->setGeometry(t.rect(180, 3120, 2955, 195));
    cboDemos = named(new QComboBox(m_client), "cboDemos");
    cboDemos->setGeometry(t.rect(180, 3360, 3600, 315));
    cboDemos->setEditable(true);
    // What the user types stays as typed: no new entries, no completion.
    cboDemos->setInsertPolicy(QComboBox::NoInsert);
    cboDemos->setCompleter(nullptr);
    cboDemos->setDuplicatesEnabled(true);
    cmdPlay = named(new QPushButton(QStringLiteral("&Play"), m_client), "cmdPlay");
    cmdPlay->setGeometry(t.rect(4020, 3360, 1115, 315));
    cmdPlay->setDefault(true);
    {
        QPalette palette = cmdPlay->palette();
        palette.setColor(QPalette::Button, QColor(224, 226, 235));
        cmdPlay->setPalette(palette);
    }
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), m_client), "cmdClose");
    cmdClose->setGeometry(t.rect(5460, 3360, 1115, 315));
    // A focused command button takes Enter itself.
    cmdPlay->setAutoDefault(true);
    cmdClose->setAutoDefault(true);

    // Hidden working controls.
    filDemoFiles = named(new FileListBox(m_platform, m_client), "filDemoFiles");
    filDemoFiles->setGeometry(t.rect(5040, 1380, 1635, 225));
    filDemoFiles->setPattern(QStringLiteral("*.exe"));
    fraExtracting =
        named(new QGroupBox(QStringLiteral("Preparing New Files"), m_client), "fraExtracting");
    fraExtracting->setGeometry(t.rect(6300, 360, 5835, 915));
    fraExtracting->hide();
    // Where it is shown it lies over the edition frame, which must not show through.
    fraExtracting->setAutoFillBackground(true);
    fraExtracting->raise();
    Label4[2] =
        named(new QLabel(QStringLiteral("One moment please ..."), fraExtracting), "Label4_2");
    Label4[2]->setGeometry(t.rect(1920, 420, 2295, 255));
    Label4[2]->setFont(FormStyle::font(QLatin1String("Tahoma"), 9, true, true));
    setTextColour(Label4[2], QColor(255, 255, 0));
}

void FrmPlayDemos::createMenus()
{
    auto action = [](QMenu *menu, const QString &caption, const char *name) {
        QAction *item = menu->addAction(caption);
        item->setObjectName(QLatin1String(name));
        return item;
    };
    auto separator = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };
    auto submenu = [](QWidget *parent, const QString &caption, const char *name) {
        auto *menu = new QMenu(caption, parent);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        return menu;
    };

    mnuFileHeader = submenu(this, QStringLiteral("&File"), "mnuFileHeader");
    menuBar()->addMenu(mnuFileHeader);
    mnuPlay = action(mnuFileHeader, QStringLiteral("&Play"), "mnuPlay");
    separator(mnuFileHeader, "mnuSeparator4");
    mnuExit = action(mnuFileHeader, QStringLiteral("E&xit"), "mnuExit");

    mnuHelpHeader = submenu(this, QStringLiteral("&Help"), "mnuHelpHeader");
    menuBar()->addMenu(mnuHelpHeader);
    mnuHelpContents = action(mnuHelpHeader, QStringLiteral("&Contents..."), "mnuHelpContents");
    mnuHelpIndex = action(mnuHelpHeader, QStringLiteral("&Index..."), "mnuHelpIndex");
    separator(mnuHelpHeader, "mnuSeparator1");
    mnuQuorvexDemos = action(mnuHelpHeader, QStringLiteral("Quorvex &Demos..."), "mnuQuorvexDemos");
    mnuPlayingDemos = action(mnuHelpHeader, QStringLiteral("&Playing Demos..."), "mnuPlayingDemos");

    mnuQuorvexHeader = submenu(mnuHelpHeader, QStringLiteral("&Quorvex"), "mnuQuorvexHeader");
    mnuHelpHeader->addMenu(mnuQuorvexHeader);
    mnuWhatIsQuorvex =
        action(mnuQuorvexHeader, QStringLiteral("&What is Quorvex..."), "mnuWhatIsQuorvex");
    mnuKeyFeaturesQVX =
        action(mnuQuorvexHeader, QStringLiteral("&Key Features..."), "mnuKeyFeaturesQVX");
    mnuAdditionalAddOns =
        action(mnuQuorvexHeader, QStringLiteral("&Add-ons..."), "mnuAdditionalAddOns");
    // Created unavailable; nothing makes it available.
    mnuAdditionalAddOns->setEnabled(false);

    mnuQuorvexJuniorHeader =
        submenu(mnuHelpHeader, QStringLiteral("Quorvex &Junior"), "mnuQuorvexJuniorHeader");
    mnuHelpHeader->addMenu(mnuQuorvexJuniorHeader);
    mnuWhatIsQuorvexJunior =
        action(mnuQuorvexJuniorHeader, QStringLiteral("&What is Quorvex Junior..."),
               "mnuWhatIsQuorvexJunior");
    mnuKeyFeaturesQVXJr =
        action(mnuQuorvexJuniorHeader, QStringLiteral("&Key Features..."), "mnuKeyFeaturesQVXJr");

    separator(mnuHelpHeader, "mnuSeparator3");
    mnuQuorvexontheWebSubHeader = action(mnuHelpHeader, QStringLiteral("Quorvex on the &Web..."),
                                         "mnuQuorvexontheWebSubHeader");
    mnuOrderingQuorvex =
        action(mnuHelpHeader, QStringLiteral("&Ordering Quorvex..."), "mnuOrderingQuorvex");
    mnuContactUs = action(mnuHelpHeader, QStringLiteral("Contact &Us..."), "mnuContactUs");
    separator(mnuHelpHeader, "mnuSeparator2");
    mnuAbout = action(mnuHelpHeader, QStringLiteral("&About Quorvex Demo Player..."), "mnuAbout");
}

void FrmPlayDemos::connectHandlers()
{
    for (int index = 0; index < 2; ++index) {
        connect(optDemoVersion[size_t(index)], &QRadioButton::toggled, this,
                [this, index](bool checked) {
                    keepSelectedOptionAsTabStop();
                    if (checked)
                        optDemoVersion_Click(index);
                });
    }
    connect(cboDemos, &QComboBox::activated, this, [this] { cboDemos_Click(); });
    connect(cmdPlay, &QPushButton::clicked, this, [this] { cmdPlay_Click(); });
    connect(mnuPlay, &QAction::triggered, this, [this] { cmdPlay_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);

    // Enter runs Play from the text field and the options, as a default button would.
    cboDemos->installEventFilter(this);
    cboDemos->lineEdit()->installEventFilter(this);
    for (QRadioButton *option : optDemoVersion)
        option->installEventFilter(this);

    connect(mnuHelpContents, &QAction::triggered, this,
            [this] { Module1::ShowHelp(m_platform, this, QStringLiteral("Contents")); });
    connect(mnuHelpIndex, &QAction::triggered, this,
            [this] { Module1::ShowHelp(m_platform, this, QStringLiteral("Index")); });
    const std::pair<QAction *, const char *> topics[] = {
        {mnuQuorvexDemos, "Welcome.htm"},
        {mnuPlayingDemos, "About the demos.htm"},
        {mnuWhatIsQuorvex, "What is Quorvex.htm"},
        {mnuKeyFeaturesQVX, "Key features of Quorvex.htm"},
        {mnuAdditionalAddOns, "Add-ons.htm"},
        {mnuWhatIsQuorvexJunior, "What is Quorvex Junior.htm"},
        {mnuKeyFeaturesQVXJr, "Key features of Quorvex Junior.htm"},
        {mnuOrderingQuorvex, "Ordering Quorvex.htm"},
        {mnuContactUs, "Contacting Brenlowe.htm"},
    };
    for (const auto &[item, topic] : topics) {
        const QString name = QString::fromLatin1(topic);
        connect(item, &QAction::triggered, this, [this, name] { showTopic(name); });
    }
    connect(mnuQuorvexontheWebSubHeader, &QAction::triggered, this, [this] {
        Module1::ShellOpen(m_platform, QStringLiteral("http://") +
                                           QString::fromLatin1(BuildInfo::homePageHost) +
                                           QStringLiteral("/index.htm"));
    });
    connect(mnuAbout, &QAction::triggered, this, [this] { FrmAbout::showModal(m_platform); });
}

void FrmPlayDemos::setTabOrderAndFocus()
{
    setTabOrder(cboDemos, cmdPlay);
    setTabOrder(cmdPlay, optDemoVersion[1]);
    setTabOrder(optDemoVersion[1], optDemoVersion[0]);
    setTabOrder(optDemoVersion[0], cmdClose);
    keepSelectedOptionAsTabStop();
    cboDemos->setFocus();
}

// Only the selected option of the group is a tab stop; the arrow keys move within it.
void FrmPlayDemos::keepSelectedOptionAsTabStop()
{
    const bool anyChecked = optDemoVersion[0]->isChecked() || optDemoVersion[1]->isChecked();
    for (QRadioButton *option : optDemoVersion) {
        const bool stop = option->isChecked() || (!anyChecked && option == optDemoVersion[1]);
        option->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void FrmPlayDemos::showTopic(const QString &topic)
{
    Module1::sHelpTopic = topic;
    Module1::ShowHelp(m_platform, this, QStringLiteral("Topic"));
}

void FrmPlayDemos::applyOuterSize()
{
    const Twips t = Twips::forWidget(this);
    QMargins frame;
    if (const QWindow *window = windowHandle())
        frame = window->frameMargins();
    const QSize outer(t.px(outerWidth), t.px(outerHeight));
    const QSize inner(outer.width() - frame.left() - frame.right(),
                      outer.height() - frame.top() - frame.bottom());
    m_client->setMinimumSize(0, 0);
    m_client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setFixedSize(inner);
}

void FrmPlayDemos::Form_Load()
{
    m_platform.setMousePointer(MousePointer::Busy);
    winId(); // the native window, so that the frame size can be known
    applyOuterSize();
    Module1::CenterForm(*this);
    show();
    // The window manager's frame has a size only once the window is on the screen.
    Module1::WaitUntilExposed(*this);
    const Twips t = Twips::forWidget(this);
    const QSize outer(t.px(outerWidth), t.px(outerHeight));
    // The window's own margins: what the widget caches may still be those before framing.
    if (size().grownBy(windowHandle()->frameMargins()) != outer) {
        applyOuterSize();
        Module1::CenterForm(*this);
    }
    fraDemoInfo->move(t.px(noteLeft), t.px(noteTop));
    Module1::sHelpFile =
        Catalogue::appPath(m_platform.applicationFolder(), QStringLiteral("Quorvex Demos.chm"));
    m_platform.setApplicationHelpFile(Module1::sHelpFile);
    m_platform.processEvents();
    // A window manager busy with the first placement may have answered the correction with
    // that placement.
    if (windowHandle()->frameGeometry().size() == outer)
        Module1::CenterForm(*this);
    // Drawn now, whatever the window system still has queued: filling the list may take a
    // while.
    repaint();
    optDemoVersion[1]->setChecked(true);
    m_platform.setMousePointer(MousePointer::Default);
}

void FrmPlayDemos::optDemoVersion_Click(int index)
{
    fraDemoInfo->hide();
    lblInfo->setText(QString());
    const QString appFolder = m_platform.applicationFolder();
    sDemoFolder = Catalogue::editionFolder(appFolder, index);
    filDemoFiles->setPattern(QStringLiteral("*.exe"));
    QString sVersion = Catalogue::editionTag(index);
    func_ListDemos(sVersion);
}

void FrmPlayDemos::func_ListDemos(QString &sVersion)
{
    Q_UNUSED(sVersion) // the list depends only on the folders
    cboDemos->clear();
    cboDemos->clearEditText();
    QStringList names;
    auto addFolder = [&](const QString &folder) {
        filDemoFiles->setPath(folder);
        for (const QString &file : filDemoFiles->names())
            names.append(Catalogue::displayName(file));
    };
    addFolder(sDemoFolder);
    addFolder(Catalogue::sharedFolder(m_platform.applicationFolder()));
    cboDemos->addItems(names);
    // Setting the text is not a choice: no note follows a listing.
    cboDemos->setEditText(cboDemos->itemText(0));
}

void FrmPlayDemos::cboDemos_Click()
{
    const QString note =
        optDemoVersion[0]->isChecked() ? Catalogue::noteFor(cboDemos->currentText()) : QString();
    if (!note.isEmpty()) {
        lblInfo->setText(note);
        fitCaption(lblInfo, font());
        fraDemoInfo->show();
    } else {
        fraDemoInfo->hide();
        lblInfo->setText(QString());
    }
}

void FrmPlayDemos::cmdPlay_Click()
{
    const QString path = Catalogue::resolvePlayPath(m_platform, m_platform.applicationFolder(),
                                                    sDemoFolder, cboDemos->currentText());
    if (path.isEmpty())
        return;
    // The demo runs in its own folder; whatever the start says, Play says nothing.
    m_platform.startProgram(path, QFileInfo(path).absolutePath());
}

bool FrmPlayDemos::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            cmdPlay->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
