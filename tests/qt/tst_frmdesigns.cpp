// Both windows as built from their designs, before load changes anything: every control
// and menu item became the right widget at the right place.

#include "AboutWidgets.h"
#include "LineControl.h"
#include "RecordingPlatform.h"
#include "qvx/core/Design.h"
#include "qvx/qt/FrmAbout.h"
#include "qvx/qt/FrmPlayDemos.h"
#include "qvx/qt/Twips.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace qvx;
namespace design = qvx::design;

namespace {

QString qtext(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString designName(const design::Control &control)
{
    QString name = qtext(control.name);
    if (control.index != design::noIndex)
        name += u'_' + QString::number(control.index);
    return name;
}

QColor colour(const design::Colour &c)
{
    return {c.red, c.green, c.blue};
}

bool takesFocus(const design::Control &control)
{
    const bool focusable = control.kind == design::Kind::ComboBox ||
                           control.kind == design::Kind::CommandButton ||
                           control.kind == design::Kind::OptionButton;
    return focusable && control.tabIndex != design::noTabStop;
}

} // namespace

class TestFrmDesigns : public QObject
{
    Q_OBJECT

private:
    RecordingPlatform platform;
    std::unique_ptr<qt::FrmPlayDemos> main;
    std::unique_ptr<qt::FrmAbout> about;

    const design::Form &form(int window) const
    {
        return window == 0 ? design::frmPlayDemos() : design::frmAbout();
    }
    QWidget *windowWidget(int window) const
    {
        return window == 0 ? static_cast<QWidget *>(main.get()) : about.get();
    }
    // Where a control without a container lives.
    QWidget *client(int window) const { return window == 0 ? main->centralWidget() : about.get(); }
    QWidget *widgetOf(int window, const design::Control &control) const
    {
        return window == 0 ? main->control(designName(control))
                           : about->control(designName(control));
    }
    void addRowsPerControl()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("at");
        for (int window : {0, 1}) {
            const design::Form &f = form(window);
            for (std::size_t at = 0; at < f.controls.size(); ++at)
                QTest::addRow("%s.%s", f.name.data(), qPrintable(designName(f.controls[at])))
                    << window << int(at);
        }
    }

private slots:
    void initTestCase()
    {
        main = std::make_unique<qt::FrmPlayDemos>(platform);
        about = std::make_unique<qt::FrmAbout>(platform);
    }
    void cleanupTestCase()
    {
        about.reset();
        main.reset();
    }

    void controlsBecomeTheirWidgets_data() { addRowsPerControl(); }
    void controlsBecomeTheirWidgets()
    {
        QFETCH(int, window);
        QFETCH(int, at);
        const design::Form &f = form(window);
        const design::Control &control = f.controls[std::size_t(at)];
        QWidget *widget = widgetOf(window, control);
        if (control.kind == design::Kind::FileList) {
            // The presenter keeps the listing; nothing of it shows.
            QVERIFY(!widget);
            QVERIFY(!windowWidget(window)->findChild<QWidget *>(designName(control)));
            return;
        }
        QVERIFY(widget);
        QCOMPARE(widget->objectName(), designName(control));
        QCOMPARE(widget->parentWidget(), control.container.empty()
                                             ? client(window)
                                             : widgetOf(window, *f.find(control.container)));

        const Twips t = Twips::forWidget(widget);
        const design::Rect &r = control.rect;
        const QString caption = qtext(control.caption);
        switch (control.kind) {
        case design::Kind::Label: {
            auto *label = qobject_cast<CaptionLabel *>(widget);
            QVERIFY(label);
            QCOMPARE(label->caption(), caption);
            QCOMPARE(label->wordWrap(), control.wordWrap);
            QCOMPARE(label->autoFillBackground(), !control.transparent && control.backColour);
            break;
        }
        case design::Kind::Line: {
            auto *line = qobject_cast<LineControl *>(widget);
            QVERIFY(line);
            const design::Line &l = control.line;
            QCOMPARE(line->from(), QPoint(t.px(l.x1), t.px(l.y1)));
            QCOMPARE(line->to(), QPoint(t.px(l.x2), t.px(l.y2)));
            QCOMPARE(line->colour(), colour(*control.foreColour));
            break;
        }
        case design::Kind::Frame: {
            auto *frame = qobject_cast<QGroupBox *>(widget);
            QVERIFY(frame);
            QCOMPARE(frame->title(), caption);
            break;
        }
        case design::Kind::OptionButton:
            QVERIFY(qobject_cast<QRadioButton *>(widget));
            QCOMPARE(qobject_cast<QRadioButton *>(widget)->text(), caption);
            break;
        case design::Kind::ComboBox:
            QVERIFY(qobject_cast<QComboBox *>(widget));
            QVERIFY(qobject_cast<QComboBox *>(widget)->isEditable());
            break;
        case design::Kind::CommandButton: {
            auto *button = qobject_cast<QPushButton *>(widget);
            QVERIFY(button);
            QCOMPARE(button->text(), caption);
            QCOMPARE(button->isDefault(), control.isDefault);
            if (control.backColour)
                QCOMPARE(button->palette().color(QPalette::Button), colour(*control.backColour));
            break;
        }
        case design::Kind::Image: {
            auto *image = qobject_cast<ImageControl *>(widget);
            QVERIFY(image);
            QVERIFY(!image->pixmap().isNull());
            QCOMPARE(image->toolTip(), qtext(control.toolTip));
            break;
        }
        case design::Kind::FileList:
            break;
        }
        if (control.kind != design::Kind::Line)
            QCOMPARE(widget->geometry(), t.rect(r.left, r.top, r.width, r.height));
        if (control.foreColour && control.kind != design::Kind::Line)
            QCOMPARE(widget->palette().color(QPalette::WindowText), colour(*control.foreColour));

        // Substitutes for a missing face may be set a little smaller so that captions fit.
        const design::Font &designed = control.font ? *control.font : f.font;
        const QFont font = widget->font();
        QCOMPARE(font.families().value(0), qtext(designed.face));
        QCOMPARE(font.bold(), designed.weight >= 700);
        QCOMPARE(font.italic(), designed.italic);
        QVERIFY2(font.pointSizeF() <= designed.points && font.pointSizeF() >= designed.points * 0.8,
                 qPrintable(QString::number(font.pointSizeF())));

        QCOMPARE(!widget->isHidden(), control.visible);
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, takesFocus(control));
    }

    // Later controls of the design are drawn over earlier ones, and Tab visits the controls
    // that take the focus in the order of their tab indexes.
    void stackingAndTabOrder_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("frmPlayDemos") << 0;
        QTest::newRow("frmAbout") << 1;
    }
    void stackingAndTabOrder()
    {
        QFETCH(int, window);
        const design::Form &f = form(window);
        std::vector<const design::Control *> stops;
        for (std::size_t at = 0; at < f.controls.size(); ++at) {
            const design::Control &control = f.controls[at];
            QWidget *widget = widgetOf(window, control);
            if (!widget)
                continue;
            if (takesFocus(control))
                stops.push_back(&control);
            for (std::size_t later = at + 1; later < f.controls.size(); ++later) {
                QWidget *over = widgetOf(window, f.controls[later]);
                if (over && over->parentWidget() == widget->parentWidget()) {
                    const QObjectList siblings = widget->parentWidget()->children();
                    QVERIFY2(siblings.indexOf(widget) < siblings.indexOf(over),
                             qPrintable(over->objectName()));
                }
            }
        }
        std::sort(stops.begin(), stops.end(),
                  [](const auto *a, const auto *b) { return a->tabIndex < b->tabIndex; });
        QStringList expected;
        for (const design::Control *control : stops)
            expected.append(designName(*control));
        QStringList chain;
        QWidget *first = widgetOf(window, *stops.front());
        QWidget *next = first;
        do {
            if (expected.contains(next->objectName()))
                chain.append(next->objectName());
            next = next->nextInFocusChain();
        } while (next != first);
        QCOMPARE(chain, expected);
    }

    // What a screen reader finds in each window: every control it reads by the name a user
    // expects, the combo by its prompt, the title once, and nothing of the decoration.
    void screenReadersHearNamesNotDecoration()
    {
        const std::map<std::string, std::string> expected{
            {"cboDemos", "Select a demo from the list and click Play"},
            {"cmdPlay", "Play"},
            {"cmdClose", "Close"},
            {"optDemoVersion_0", "Quorvex"},
            {"optDemoVersion_1", "Quorvex Junior"},
            {"Frame1", "Program Version"},
            {"fraDemoInfo", "Related Demo Information"},
            {"Label4_3", "Quorvex Demo Player"},
            {"cmdOK", "OK"},
            {"Image2_0", "FlashBack website"},
            {"Image2_1", "FlashBack website"}};
        for (int window : {0, 1}) {
            for (const design::Control &control : form(window).controls) {
                QWidget *widget = widgetOf(window, control);
                if (!widget)
                    continue;
                const QString name = designName(control);
                QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(face, qPrintable(name));
                if (control.decorative) {
                    QVERIFY2(face->state().invisible, qPrintable(name));
                    QVERIFY2(face->text(QAccessible::Name).isEmpty(), qPrintable(name));
                    continue;
                }
                if (const auto named = expected.find(name.toStdString()); named != expected.end())
                    QCOMPARE(face->text(QAccessible::Name), QString::fromStdString(named->second));
                if (!control.toolTip.empty())
                    QCOMPARE(face->text(QAccessible::Description), qtext(control.toolTip));
            }
        }
        // The prompt is the combo's label for the desktop's screen readers too.
        QAccessibleInterface *combo =
            QAccessible::queryAccessibleInterface(main->control(QStringLiteral("cboDemos")));
        QAccessibleInterface *prompt =
            QAccessible::queryAccessibleInterface(main->control(QStringLiteral("Label4_0")));
        bool labelled = false;
        for (const auto &[other, relation] : combo->relations(QAccessible::Label))
            labelled = labelled || other == prompt;
        QVERIFY(labelled);

        // Everything a reader can reach in the main window, the title read once only.
        // Shown as a plain widget: what a reader reaches does not depend on the load.
        static_cast<QWidget *>(main.get())->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        QStringList heard;
        std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *face) {
            for (int i = 0; i < face->childCount(); ++i) {
                QAccessibleInterface *child = face->child(i);
                if (!child || child->state().invisible)
                    continue;
                heard.append(child->text(QAccessible::Name));
                walk(child);
            }
        };
        walk(QAccessible::queryAccessibleInterface(main->centralWidget()));
        main->hide();
        QVERIFY2(heard.contains(QStringLiteral("Play")), qPrintable(heard.join(u'|')));
        QCOMPARE(heard.count(QStringLiteral("Quorvex Demo Player")), 1);
    }

    // While the platform reports high contrast, both windows take the system's colours
    // (the palette's) instead of the design's, without the title's shadow; when it ends, with
    // a change of theme, the design's colours come back.
    void highContrastTakesTheSystemsColours()
    {
        const QPalette before = QApplication::palette();
        QPalette scheme = before;
        scheme.setColor(QPalette::Window, QColor(255, 255, 255));
        scheme.setColor(QPalette::WindowText, QColor(0, 0, 0));
        scheme.setColor(QPalette::Button, QColor(255, 255, 255));
        scheme.setColor(QPalette::ButtonText, QColor(0, 0, 0));
        scheme.setColor(QPalette::Light, QColor(255, 0, 255));
        scheme.setColor(QPalette::Dark, QColor(0, 128, 255));
        QApplication::setPalette(scheme);
        RecordingPlatform contrast;
        contrast.contrast = true;
        qt::FrmPlayDemos window(contrast);
        qt::FrmAbout dialog(contrast);
        const auto colourOf = [](QWidget *widget, QPalette::ColorRole role) {
            return widget->palette().color(role);
        };
        const auto check = [&](bool high) {
            const design::Form &playDemos = design::frmPlayDemos();
            // The black title, the dark-blue note, the prompt in the window's own colour.
            for (const design::Control *c : {playDemos.find("Label4", 3), playDemos.find("lblInfo"),
                                             playDemos.find("Label4", 0)}) {
                QCOMPARE(colourOf(window.control(designName(*c)), QPalette::WindowText),
                         high || !c->foreColour ? scheme.color(QPalette::WindowText)
                                                : colour(*c->foreColour));
            }
            QCOMPARE(window.control(QStringLiteral("Label4_4"))->isHidden(), high);
            auto *rule = qobject_cast<LineControl *>(window.control(QStringLiteral("Line1_1")));
            QCOMPARE(rule->colour(), high ? scheme.color(QPalette::Light) : QColor(255, 255, 255));
            QCOMPARE(colourOf(window.control(QStringLiteral("cmdPlay")), QPalette::Button),
                     high ? scheme.color(QPalette::Button) : QColor(224, 226, 235));
            QCOMPARE(colourOf(&dialog, QPalette::Window),
                     high ? scheme.color(QPalette::Window) : QColor(0, 0, 0));
            QCOMPARE(colourOf(dialog.control(QStringLiteral("lblTitle")), QPalette::WindowText),
                     high ? scheme.color(QPalette::WindowText) : QColor(255, 255, 255));
            rule = qobject_cast<LineControl *>(dialog.control(QStringLiteral("Line1_1")));
            QCOMPARE(rule->colour(), high ? scheme.color(QPalette::Dark) : QColor(128, 128, 128));
        };
        check(true);
        contrast.contrast = false;
        scheme = before;
        QApplication::setPalette(before);
        QCoreApplication::processEvents();
        check(false);
    }

    void menuItemsBecomeTheirActions()
    {
        const design::Form &f = design::frmPlayDemos();
        QMenuBar *bar = main->menuBar();
        for (const design::MenuItem &item : f.menu) {
            const QString name = qtext(item.name);
            QAction *action = nullptr;
            for (QAction *candidate : bar->findChildren<QAction *>(name))
                action = candidate;
            QVERIFY2(action, qPrintable(name));
            QCOMPARE(action->isSeparator(), item.isSeparator());
            if (!item.isSeparator())
                QCOMPARE(action->text(), qtext(item.caption));
            // An unavailable item still shows, greyed.
            QCOMPARE(action->isEnabled(), item.enabled);
            QVERIFY(action->isVisible());
            QVERIFY(action->shortcut().isEmpty());
            const QList<QAction *> siblings =
                item.parent.empty() ? bar->actions()
                                    : bar->findChild<QMenu *>(qtext(item.parent))->actions();
            QVERIFY2(siblings.contains(action), qPrintable(name));
        }
        // Each menu lists its items in the order of the design.
        QHash<QString, QStringList> designed;
        for (const design::MenuItem &item : f.menu)
            designed[qtext(item.parent)].append(qtext(item.name));
        for (auto it = designed.cbegin(); it != designed.cend(); ++it) {
            const QList<QAction *> actions =
                it.key().isEmpty() ? bar->actions() : bar->findChild<QMenu *>(it.key())->actions();
            QStringList shown;
            for (const QAction *action : actions)
                shown.append(action->objectName());
            QCOMPARE(shown, it.value());
        }
    }
};

QTEST_MAIN(TestFrmDesigns)
#include "tst_frmdesigns.moc"
