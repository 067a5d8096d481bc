// The windows' captions in the fonts they were laid out with, and in the substitutes that
// stand in where those are missing.

#include "CaptionFit.h"
#include "RecordingPlatform.h"
#include "qvx/qt/Fonts.h"
#include "qvx/qt/FrmAbout.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QTest>
#include <QTextLayout>

using qvx::qt::frmPlayDemos;

namespace {

const QString tahomaFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

// Lays a label's text out at its width as the label does and says whether every line shows.
bool labelShowsWhole(const QLabel *label)
{
    QString text = label->text();
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, label->font());
    QTextOption option;
    option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    const QRect box = label->contentsRect();
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        if (line.naturalTextWidth() > box.width())
            return false;
        height += line.height();
    }
    layout.endLayout();
    return height <= box.height();
}

QStringList cutCaptions(const QWidget *window)
{
    QStringList cut;
    for (const QWidget *control : window->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<const QLabel *>(control);
        const bool whole =
            label && label->pixmap().isNull() ? labelShowsWhole(label) : captionFits(control);
        if (!whole)
            cut.append(control->objectName());
    }
    return cut;
}

// Dark pixels of a text drawn in the given font: more ink is a heavier face.
int ink(const QFont &font)
{
    QImage image(400, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawText(10, 40, QStringLiteral("Quorvex Demo Player"));
    painter.end();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFontDatabase::removeAllApplicationFonts(); }

    void captionsShowWhole_data()
    {
        QTest::addColumn<bool>("tahoma");
        QTest::newRow("substitute faces") << false;
        QTest::newRow("Tahoma") << true;
    }
    void captionsShowWhole()
    {
        QFETCH(bool, tahoma);
        if (tahoma) {
            if (!QFileInfo::exists(tahomaFile))
                QSKIP("no Tahoma on this system");
            registerWindowFonts();
        } else if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
            QSKIP("the system has Tahoma itself");
        }

        RecordingPlatform platform;
        platform.addFile("/app/Demos/QVX/Seating.exe");
        frmPlayDemos = new qvx::qt::FrmPlayDemos(platform);
        frmPlayDemos->Form_Load();
        QCOMPARE(cutCaptions(frmPlayDemos), QStringList());
        // Each note, as the Quorvex edition shows it.
        frmPlayDemos->setOptionValue(0, true);
        const auto *note = frmPlayDemos->control<QLabel>(QStringLiteral("lblInfo"));
        for (const char *demo : {"Reports", "Ticket Setup", "Help"}) {
            frmPlayDemos->setDemoText(demo);
            frmPlayDemos->presenter().cboDemos_Click();
            QVERIFY(!note->text().isEmpty());
            QVERIFY2(labelShowsWhole(note), demo);
        }
        delete frmPlayDemos.data();

        qvx::qt::FrmAbout about(platform);
        about.presenter().Form_Load();
        QCOMPARE(cutCaptions(&about), QStringList());
    }

    void boldTahomaDrawsBold()
    {
        if (!QFileInfo::exists(tahomaFile))
            QSKIP("no Tahoma on this system");
        registerWindowFonts();
        RecordingPlatform platform;
        qvx::qt::FrmAbout about(platform);
        QFont title = about.control(QStringLiteral("lblTitle"))->font();
        QCOMPARE(QFontInfo(title).family(), QStringLiteral("Tahoma"));
        QVERIFY(title.bold());
        const int bold = ink(title);
        title.setBold(false);
        QVERIFY2(bold > ink(title) * 5 / 4, qPrintable(QString::number(bold)));
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
