#include "about/FrmAbout.h"

#include "BuildInfo.h"
#include "about/AboutWidgets.h"
#include "app/CaptionFit.h"
#include "app/FormStyle.h"
#include "app/FrmPlayDemos.h"
#include "app/LineControl.h"
#include "app/Module1.h"
#include "app/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

QPointer<FrmAbout> frmAbout;

// The pictures live in the core library, which the linker would otherwise leave them out of.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace {

// Client area, fixed.
constexpr int clientWidth = 6060;
constexpr int clientHeight = 4410;

void setColours(QWidget *widget, const QColor &text, const QColor &background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
}

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

using FormStyle::named;

FrmAbout::FrmAbout(Platform &platform, QWidget *parent) : QDialog(parent), m_platform(platform)
{
    initAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed dialog: caption, system menu and close button, nothing to resize it with.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Modal to the main window only: the help viewer, a window of its own, stays usable.
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setFont(FormStyle::windowFont());
    setColours(this, Qt::white, Qt::black);
    setAutoFillBackground(true);
    // Movement over the bare surface darkens the badge.
    setMouseTracking(true);

    createControls();

    const Twips t = Twips::forWidget(this);
    setFixedSize(t.px(clientWidth), t.px(clientHeight));
}

FrmAbout::~FrmAbout() = default;

void FrmAbout::createControls()
{
    const Twips t = Twips::forWidget(this);

    // Created back to front: each control is drawn over those made before it.
    Image3 = named(new QLabel(this), "Image3");
    Image3->setPixmap(QPixmap(QStringLiteral(":/about/logo.jpg")));
    Image3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image3->setAttribute(Qt::WA_NoMousePropagation);
    Image3->setGeometry(t.rect(-120, -300, 1920, 1440));

    Line1[0] = named(new LineControl({t.px(75), t.px(2280)}, {t.px(5940), t.px(2280)},
                                     QColor(255, 255, 255), 2, this),
                     "Line1_0");
    Line1[1] = named(new LineControl({t.px(60), t.px(2265)}, {t.px(5940), t.px(2265)},
                                     QColor(128, 128, 128), 1, this),
                     "Line1_1");
    // The lines are controls of their own here: movement over them is not bare surface.
    for (LineControl *line : Line1) {
        line->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        line->setAttribute(Qt::WA_NoMousePropagation);
    }

    auto label = [&](const char *name, const QString &placeholder, const QRect &rect) {
        auto *control = named(new CaptionLabel(this), name);
        control->setCaption(placeholder);
        control->setGeometry(rect);
        control->setAutoFillBackground(true);
        setColours(control, Qt::white, Qt::black);
        return control;
    };
    lblDescription =
        label("lblDescription", QStringLiteral("App Description"), t.rect(1500, 1200, 4425, 1005));
    lblTitle = label("lblTitle", QStringLiteral("Application Title"), t.rect(1500, 180, 3945, 300));
    lblTitle->setFont(FormStyle::font(QLatin1String("Tahoma"), 12, true, true));
    lblVersion = label("lblVersion", QStringLiteral("Version"), t.rect(1500, 540, 3885, 405));
    lblContactInfo =
        label("lblContactInfo", QStringLiteral("Warning: ..."), t.rect(180, 2505, 3870, 1200));

    const QString badgeTip =
        QStringLiteral("Demos were created with FlashBack (click to open website)");
    Image2[1] = named(new ImageControl(QPixmap(QStringLiteral(":/about/badge-grey.gif")), this),
                      "Image2_1");
    Image2[0] = named(new ImageControl(QPixmap(QStringLiteral(":/about/badge-colour.gif")), this),
                      "Image2_0");
    for (int index = 0; index < 2; ++index) {
        ImageControl *badge = Image2[size_t(index)];
        badge->setGeometry(t.rect(180, 3840, 1575, 405));
        badge->setToolTip(badgeTip);
        connect(badge, &ImageControl::clicked, this, [this, index] { Image2_Click(index); });
        connect(badge, &ImageControl::mouseMoved, this, [this, index] { Image2_MouseMove(index); });
    }
    Image2[0]->hide();

    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setGeometry(t.rect(4680, 3900, 1215, 345));
    cmdOK->setDefault(true);
    cmdOK->setAttribute(Qt::WA_NoMousePropagation);
    // The button keeps the system's colours, not the window's white on black.
    const QPalette system = QApplication::palette(cmdOK);
    setColours(cmdOK, system.color(QPalette::WindowText), system.color(QPalette::Window));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    setTabOrder(lblDescription, lblTitle);
    setTabOrder(lblTitle, lblVersion);
    setTabOrder(lblVersion, lblContactInfo);
    setTabOrder(lblContactInfo, cmdOK);
    // The only control that takes the focus.
    cmdOK->setFocus();
}

QString FrmAbout::captionText()
{
    return QStringLiteral("About ") + utf8(BuildInfo::productName);
}

QString FrmAbout::titleText()
{
    return utf8(BuildInfo::productName);
}

QString FrmAbout::descriptionText()
{
    return QStringLiteral("The Quorvex Demo Player allows you to easily select and view various "
                          "demos of Quorvex and Quorvex Junior.");
}

QString FrmAbout::versionText(const QString &legalCopyright)
{
    return QStringLiteral("Version %1.%2.%3\r")
               .arg(BuildInfo::versionMajor)
               .arg(BuildInfo::versionMinor)
               .arg(BuildInfo::versionRevision) +
           legalCopyright;
}

QString FrmAbout::contactText()
{
    // The spaces line the values up in the window's proportional font.
    return QStringLiteral("Brenlowe\rPhone:  ") + utf8(BuildInfo::makerPhone) +
           QStringLiteral("\rFax:       ") + utf8(BuildInfo::makerFax) +
           QStringLiteral("\rE-mail:   ") + utf8(BuildInfo::makerEmail) +
           QStringLiteral("\rWeb:     ") + utf8(BuildInfo::makerWeb);
}

void FrmAbout::Form_Load()
{
    Form_Load(utf8(BuildInfo::legalCopyright));
}

void FrmAbout::Form_Load(const QString &legalCopyright)
{
    Module1::CenterForm(*this);
    if (frmPlayDemos)
        setWindowIcon(frmPlayDemos->windowIcon());
    setWindowTitle(captionText());
    lblVersion->setCaption(versionText(legalCopyright));
    lblTitle->setCaption(titleText());
    lblDescription->setCaption(descriptionText());
    lblContactInfo->setCaption(contactText());
    for (QWidget *control : std::initializer_list<QWidget *>{lblDescription, lblTitle, lblVersion,
                                                             lblContactInfo, cmdOK})
        fitCaption(control, control->font());
}

void FrmAbout::showModal(Platform &platform)
{
    if (!frmAbout) {
        // Owned by the main window, so that it gets no taskbar button of its own.
        frmAbout = new FrmAbout(platform, frmPlayDemos);
        frmAbout->Form_Load();
    }
    const QPointer<FrmAbout> form = frmAbout;
    form->show();
    // The window manager's frame has a size only once the window is on the screen.
    Module1::WaitUntilExposed(*form);
    if (form) {
        Module1::CenterForm(*form);
        // One closed while it was being shown is not opened again.
        if (form->isVisible())
            form->exec();
    }
}

void FrmAbout::cmdOK_Click()
{
    accept();
}

void FrmAbout::Image2_Click(int)
{
    Module1::OpenFlashBackSite(m_platform);
}

void FrmAbout::Image2_MouseMove(int)
{
    Image2[0]->show();
}

void FrmAbout::Form_MouseMove()
{
    Image2[0]->hide();
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
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmAbout::mouseMoveEvent(QMouseEvent *event)
{
    // Only movement over the bare surface arrives here: every control keeps its own.
    if (rect().contains(event->position().toPoint()))
        Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}
