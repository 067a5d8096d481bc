#include "qvx/qt/FrmAbout.h"

#include "AboutWidgets.h"
#include "Accessibility.h"
#include "CaptionFit.h"
#include "FormBuilder.h"
#include "WindowSystem.h"
#include "qvx/core/Module1.h"
#include "qvx/qt/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace qvx::qt {

QPointer<FrmAbout> frmAbout;

FrmAbout::FrmAbout(Platform &platform, QWidget *mainWindow)
    : QDialog(mainWindow), m_platform(platform), m_presenter(platform, *this),
      m_mainWindow(mainWindow)
{
    initAboutResources();
    const design::Form &form = design::frmAbout();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed dialog: caption, system menu and close button, nothing to resize it with.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Modal to the main window only: the help viewer stays usable beside it.
    setWindowModality(mainWindow ? Qt::WindowModal : Qt::ApplicationModal);
    setFont(designFont(form.font));
    setAutoFillBackground(form.background.has_value());
    // Movement over the bare surface darkens the badge.
    setMouseTracking(true);

    m_controls = buildControls(form, this);
    describeControls(form, m_controls);
    orderTabs(form, m_controls);
    // Every control keeps pointer movement to itself: only the bare surface is the window's.
    for (QWidget *widget : std::as_const(m_controls)) {
        widget->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        widget->setAttribute(Qt::WA_NoMousePropagation);
    }
    m_highContrast = m_platform.highContrast();
    applyColours(m_highContrast);
    auto *ok = qobject_cast<QPushButton *>(control(QStringLiteral("cmdOK")));
    connect(ok, &QPushButton::clicked, this, [this] { m_presenter.cmdOK_Click(); });
    for (int index = 0; index < 2; ++index) {
        auto *badge = qobject_cast<ImageControl *>(control(QStringLiteral("Image2_%1").arg(index)));
        connect(badge, &ImageControl::clicked, this,
                [this, index] { m_presenter.Image2_Click(index); });
        connect(badge, &ImageControl::mouseMoved, this,
                [this, index] { m_presenter.Image2_MouseMove(index); });
    }
    // The only control that takes the focus.
    ok->setFocus();

    const Twips t = Twips::forWidget(this);
    setFixedSize(t.px(form.clientWidth), t.px(form.clientHeight));
}

FrmAbout::~FrmAbout() = default;

void FrmAbout::applyColours(bool highContrast)
{
    const design::Form &form = design::frmAbout();
    QPalette palette;
    if (form.background && !highContrast) {
        palette = this->palette();
        palette.setColor(QPalette::Window, QColor(form.background->red, form.background->green,
                                                  form.background->blue));
        palette.setColor(QPalette::WindowText, Qt::white);
    }
    setPalette(palette);
    qt::applyColours(form, m_controls, highContrast);
    // The button keeps the system's colours, not the window's white on black.
    if (QWidget *ok = control(QStringLiteral("cmdOK")))
        ok->setPalette(QApplication::palette(ok));
}

bool FrmAbout::event(QEvent *event)
{
    // A change of theme may turn high contrast on or off.
    if (event->type() == QEvent::ApplicationPaletteChange) {
        if (const bool highContrast = m_platform.highContrast(); highContrast != m_highContrast) {
            m_highContrast = highContrast;
            applyColours(highContrast);
        }
    }
    return QDialog::event(event);
}

void FrmAbout::showModal(Platform &platform, QWidget *mainWindow)
{
    if (!frmAbout) {
        frmAbout = new FrmAbout(platform, mainWindow);
        frmAbout->m_presenter.Form_Load();
    }
    const QPointer<FrmAbout> form = frmAbout;
    form->show();
    // The window manager's frame has a size only once the window is on the screen.
    waitUntilExposed(*form);
    if (form) {
        Module1::CenterForm(*form);
        // One closed while it was being shown is not opened again.
        if (form->isVisible())
            form->exec();
    }
}

TwipSize FrmAbout::screenSize() const
{
    return qt::screenSize(*this);
}

TwipSize FrmAbout::outerSize() const
{
    return qt::outerSize(*this);
}

void FrmAbout::moveOuter(float left, float top)
{
    qt::moveOuter(*this, left, top);
}

void FrmAbout::takeMainWindowIcon()
{
    if (m_mainWindow)
        setWindowIcon(m_mainWindow->windowIcon());
}

void FrmAbout::setWindowCaption(const std::string &text)
{
    setWindowTitle(QString::fromStdString(text));
}

void FrmAbout::setCaption(ControlId id, const std::string &text)
{
    auto *label = qobject_cast<CaptionLabel *>(control(controlObjectName(id)));
    if (!label)
        return;
    label->setCaption(QString::fromStdString(text));
    fitCaption(label, label->font());
}

void FrmAbout::setControlVisible(ControlId id, bool visible)
{
    if (QWidget *widget = control(controlObjectName(id)))
        widget->setVisible(visible);
}

void FrmAbout::unload()
{
    accept();
}

void FrmAbout::done(int result)
{
    // Unload: the next opening creates a fresh window.
    if (frmAbout == this)
        frmAbout = nullptr;
    QDialog::done(result);
}

void FrmAbout::keyPressEvent(QKeyEvent *event)
{
    // Esc presses OK, as Enter does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        qobject_cast<QPushButton *>(control(QStringLiteral("cmdOK")))->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmAbout::mouseMoveEvent(QMouseEvent *event)
{
    // Only movement over the bare surface arrives here: every control keeps its own.
    if (rect().contains(event->position().toPoint()))
        m_presenter.Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

} // namespace qvx::qt
