#include "qvx/qt/FrmPlayDemos.h"

#include "AboutWidgets.h"
#include "Accessibility.h"
#include "CaptionFit.h"
#include "FormBuilder.h"
#include "WindowSystem.h"
#include "qvx/core/Module1.h"
#include "qvx/qt/FrmAbout.h"
#include "qvx/qt/Twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include <algorithm>

static void initResources()
{
    Q_INIT_RESOURCE(qvx);
}

namespace qvx::qt {

QPointer<FrmPlayDemos> frmPlayDemos;

namespace {

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

FrmPlayDemos::FrmPlayDemos(Platform &platform) : m_platform(platform), m_presenter(platform, *this)
{
    initResources();
    const design::Form &form = design::frmPlayDemos();
    setObjectName(QStringLiteral("frmPlayDemos"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(form.caption.data(), qsizetype(form.caption.size())));
    setWindowIcon(QIcon(QStringLiteral(":/qvx/camera.png")));
    setFont(designFont(form.font));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);
    m_controls = buildControls(form, m_client);
    describeControls(form, m_controls);
    followContrast();
    buildMenus(form, menuBar());
    m_demos = control<QComboBox>(QStringLiteral("cboDemos"));
    orderTabs(form, m_controls);
    keepSelectedOptionAsTabStop();
    connectHandlers();
    for (QWidget *widget : m_client->findChildren<QWidget *>())
        fitCaption(widget, widget->font());
    m_demos->setFocus();

    const Twips t = Twips::forWidget(this);
    // Client area at design time; load replaces it with the fixed outer size.
    m_client->setFixedSize(t.px(form.clientWidth), t.px(form.clientHeight));
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

void FrmPlayDemos::connectHandlers()
{
    for (int index = 0; index < 2; ++index) {
        auto *option = control<QRadioButton>(QStringLiteral("optDemoVersion_%1").arg(index));
        connect(option, &QRadioButton::toggled, this, [this, index](bool checked) {
            keepSelectedOptionAsTabStop();
            if (checked)
                m_presenter.optDemoVersion_Click(index);
        });
        // Enter runs Play from the options, as a default button would.
        option->installEventFilter(this);
    }
    connect(m_demos, &QComboBox::activated, this, [this] { m_presenter.cboDemos_Click(); });
    m_demos->installEventFilter(this);
    m_demos->lineEdit()->installEventFilter(this);
    connect(control<QPushButton>(QStringLiteral("cmdPlay")), &QPushButton::clicked, this,
            [this] { m_presenter.cmdPlay_Click(); });
    connect(control<QPushButton>(QStringLiteral("cmdClose")), &QPushButton::clicked, this,
            [this] { m_presenter.cmdClose_Click(); });
    for (QAction *action : menuBar()->findChildren<QAction *>()) {
        const std::string name = action->objectName().toStdString();
        if (action->menu() || action->isSeparator() || name.empty())
            continue;
        connect(action, &QAction::triggered, this, [this, name] { m_presenter.menu_Click(name); });
    }
}

void FrmPlayDemos::followContrast()
{
    const bool highContrast = m_platform.highContrast();
    if (highContrast != m_highContrast)
        applyColours(design::frmPlayDemos(), m_controls, highContrast);
    m_highContrast = highContrast;
}

bool FrmPlayDemos::event(QEvent *event)
{
    // A change of theme may turn high contrast on or off.
    if (event->type() == QEvent::ApplicationPaletteChange)
        followContrast();
    return QMainWindow::event(event);
}

// Only the selected option of the group is a tab stop; the arrow keys move within it.
void FrmPlayDemos::keepSelectedOptionAsTabStop()
{
    auto *quorvex = control<QRadioButton>(QStringLiteral("optDemoVersion_0"));
    auto *junior = control<QRadioButton>(QStringLiteral("optDemoVersion_1"));
    const bool anyChecked = quorvex->isChecked() || junior->isChecked();
    for (QRadioButton *option : {quorvex, junior}) {
        const bool stop = option->isChecked() || (!anyChecked && option == junior);
        option->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

QSize FrmPlayDemos::wantedOuterSize() const
{
    const Twips t = Twips::forWidget(this);
    return {t.px(m_outerTwips.width()), t.px(m_outerTwips.height())};
}

void FrmPlayDemos::applyOuterSize()
{
    winId(); // the native window, so that the frame size can be known
    QMargins frame;
    if (const QWindow *window = windowHandle())
        frame = window->frameMargins();
    const QSize outer = wantedOuterSize();
    m_client->setMinimumSize(0, 0);
    m_client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setFixedSize(outer.width() - frame.left() - frame.right(),
                 outer.height() - frame.top() - frame.bottom());
}

TwipSize FrmPlayDemos::screenSize() const
{
    return qt::screenSize(*this);
}

TwipSize FrmPlayDemos::outerSize() const
{
    return qt::outerSize(*this);
}

void FrmPlayDemos::moveOuter(float left, float top)
{
    qt::moveOuter(*this, left, top);
}

WindowHandle FrmPlayDemos::handle() const
{
    return reinterpret_cast<WindowHandle>(static_cast<const QWidget *>(this));
}

void FrmPlayDemos::setOuterSize(int width, int height)
{
    m_outerTwips = {width, height};
    applyOuterSize();
}

void FrmPlayDemos::show()
{
    QMainWindow::show();
    // The window manager's frame has a size only once the window is on the screen.
    waitUntilExposed(*this);
    if (size().grownBy(windowHandle()->frameMargins()) != wantedOuterSize()) {
        applyOuterSize();
        Module1::CenterForm(*this);
    }
}

void FrmPlayDemos::paintNow()
{
    // A window manager busy with the first placement may have answered the correction with
    // that placement.
    if (windowHandle()->frameGeometry().size() == wantedOuterSize())
        Module1::CenterForm(*this);
    repaint();
}

void FrmPlayDemos::close()
{
    QMainWindow::close();
}

void FrmPlayDemos::closeEvent(QCloseEvent *event)
{
    // The window cannot refuse its unload.
    event->accept();
    m_closed = true;
    if (m_busy > 0)
        m_deleteWhenIdle = true;
    else
        deleteLater();
}

void FrmPlayDemos::moveControl(ControlId id, int left, int top)
{
    if (QWidget *widget = control(controlObjectName(id))) {
        const Twips t = Twips::forWidget(this);
        widget->move(t.px(left), t.px(top));
    }
}

void FrmPlayDemos::setControlVisible(ControlId id, bool visible)
{
    QWidget *widget = control(controlObjectName(id));
    if (!widget)
        return;
    if (visible)
        widget->raise();
    widget->setVisible(visible);
}

void FrmPlayDemos::setCaption(ControlId id, const std::string &text)
{
    auto *label = control<CaptionLabel>(controlObjectName(id));
    if (!label)
        return;
    label->setCaption(qtext(text));
    if (!text.empty())
        fitCaption(label, font());
}

void FrmPlayDemos::setMenuEnabled(std::string_view item, bool enabled)
{
    if (auto *menu =
            menuBar()->findChild<QMenu *>(QString::fromUtf8(item.data(), qsizetype(item.size()))))
        menu->menuAction()->setEnabled(enabled);
}

bool FrmPlayDemos::optionValue(int index) const
{
    return control<QRadioButton>(QStringLiteral("optDemoVersion_%1").arg(index != 0))->isChecked();
}

void FrmPlayDemos::setOptionValue(int index, bool value)
{
    control<QRadioButton>(QStringLiteral("optDemoVersion_%1").arg(index != 0))->setChecked(value);
}

void FrmPlayDemos::clearDemoList()
{
    m_demos->clear();
    m_demos->clearEditText();
}

void FrmPlayDemos::addDemoEntries(const std::vector<std::string> &entries)
{
    QStringList items;
    items.reserve(qsizetype(entries.size()));
    for (const std::string &entry : entries)
        items.append(qtext(entry));
    m_demos->addItems(items);
}

std::string FrmPlayDemos::demoEntry(std::size_t index) const
{
    return index < std::size_t(m_demos->count()) ? m_demos->itemText(int(index)).toStdString()
                                                 : std::string();
}

std::string FrmPlayDemos::demoText() const
{
    return m_demos->currentText().toStdString();
}

void FrmPlayDemos::setDemoText(const std::string &text)
{
    // Setting the text is not a choice: no note follows.
    m_demos->setEditText(qtext(text));
}

void FrmPlayDemos::showAbout()
{
    FrmAbout::showModal(m_platform, this);
}

template <typename Step> void FrmPlayDemos::holdWhile(Step step)
{
    // The presenter lives in the window: a close during the step only marks it.
    ++m_busy;
    step();
    if (--m_busy == 0 && m_deleteWhenIdle)
        deleteLater();
}

void FrmPlayDemos::Form_Load()
{
    holdWhile([this] { m_presenter.Form_Load(); });
}

void FrmPlayDemos::func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits)
{
    holdWhile([&] { m_presenter.func_UnzipDemos(bCalledFromButtonClick, waits); });
}

bool FrmPlayDemos::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            control<QPushButton>(QStringLiteral("cmdPlay"))->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace qvx::qt
