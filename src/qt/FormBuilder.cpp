#include "FormBuilder.h"

#include "AboutWidgets.h"
#include "LineControl.h"
#include "qvx/qt/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <vector>

namespace qvx::qt {
namespace {

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QColor colour(const design::Colour &c)
{
    return {c.red, c.green, c.blue};
}

void setColours(QWidget *widget, const design::Control &control)
{
    QPalette palette = widget->palette();
    if (control.foreColour) {
        palette.setColor(QPalette::WindowText, colour(*control.foreColour));
        palette.setColor(QPalette::Text, colour(*control.foreColour));
    }
    if (control.backColour) {
        const QPalette::ColorRole role =
            control.kind == design::Kind::CommandButton ? QPalette::Button : QPalette::Window;
        palette.setColor(role, colour(*control.backColour));
    }
    widget->setPalette(palette);
}

QWidget *create(const design::Control &control, QWidget *parent, const Twips &t)
{
    const QRect rect =
        t.rect(control.rect.left, control.rect.top, control.rect.width, control.rect.height);
    switch (control.kind) {
    case design::Kind::Label: {
        auto *label = new CaptionLabel(parent);
        label->setCaption(text(control.caption));
        label->setWordWrap(control.wordWrap);
        label->setGeometry(rect);
        // An opaque label covers what lies behind it; a transparent one lets it show.
        label->setAutoFillBackground(!control.transparent && control.backColour.has_value());
        return label;
    }
    case design::Kind::Line: {
        const design::Line &l = control.line;
        auto *line = new LineControl({t.px(l.x1), t.px(l.y1)}, {t.px(l.x2), t.px(l.y2)},
                                     control.foreColour ? colour(*control.foreColour) : Qt::black,
                                     l.widthPx, parent);
        return line;
    }
    case design::Kind::Frame: {
        auto *frame = new QGroupBox(text(control.caption), parent);
        frame->setGeometry(rect);
        // A frame hides what lies under it.
        frame->setAutoFillBackground(true);
        return frame;
    }
    case design::Kind::OptionButton: {
        auto *option = new QRadioButton(text(control.caption), parent);
        option->setGeometry(rect);
        return option;
    }
    case design::Kind::ComboBox: {
        auto *combo = new QComboBox(parent);
        combo->setGeometry(rect);
        combo->setEditable(true);
        // What the user types stays as typed: no new entries, no completion.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->setDuplicatesEnabled(true);
        return combo;
    }
    case design::Kind::CommandButton: {
        auto *button = new QPushButton(text(control.caption), parent);
        button->setGeometry(rect);
        button->setDefault(control.isDefault);
        // A focused command button takes Enter itself.
        button->setAutoDefault(true);
        return button;
    }
    case design::Kind::Image: {
        auto *image =
            new ImageControl(QPixmap(QStringLiteral(":/about/") + text(control.picture)), parent);
        image->setGeometry(rect);
        if (!control.toolTip.empty())
            image->setToolTip(text(control.toolTip));
        return image;
    }
    case design::Kind::FileList:
        break;
    }
    return nullptr;
}

} // namespace

QString controlObjectName(ControlId control)
{
    QString name = text(control.name);
    if (control.index >= 0)
        name += u'_' + QString::number(control.index);
    return name;
}

QString controlObjectName(const design::Control &control)
{
    return controlObjectName(ControlId{control.name, control.index});
}

QFont designFont(const design::Font &font)
{
    QFont result;
    result.setFamilies({text(font.face), QStringLiteral("DejaVu Sans")});
    result.setPointSizeF(font.points);
    result.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
    result.setItalic(font.italic);
    return result;
}

QHash<QString, QWidget *> buildControls(const design::Form &form, QWidget *client)
{
    const Twips t = Twips::forWidget(client);
    QHash<QString, QWidget *> controls;
    for (const design::Control &control : form.controls) {
        QWidget *parent =
            control.container.empty()
                ? client
                : controls.value(controlObjectName(ControlId{control.container}), client);
        QWidget *widget = create(control, parent, t);
        if (!widget)
            continue;
        widget->setObjectName(controlObjectName(control));
        if (control.font)
            widget->setFont(designFont(*control.font));
        setColours(widget, control);
        widget->setVisible(control.visible);
        if (control.tabIndex == design::noTabStop || (control.kind != design::Kind::ComboBox &&
                                                      control.kind != design::Kind::CommandButton &&
                                                      control.kind != design::Kind::OptionButton))
            widget->setFocusPolicy(Qt::NoFocus);
        controls.insert(widget->objectName(), widget);
    }
    return controls;
}

void applyColours(const design::Form &form, const QHash<QString, QWidget *> &controls,
                  bool highContrast)
{
    for (const design::Control &control : form.controls) {
        QWidget *widget = controls.value(controlObjectName(control));
        if (!widget)
            continue;
        if (highContrast)
            widget->setPalette(QPalette());
        else
            setColours(widget, control);
        if (auto *line = qobject_cast<LineControl *>(widget)) {
            const QPalette::ColorRole edge =
                control.line.edge == design::Edge::Highlight ? QPalette::Light : QPalette::Dark;
            line->setColour(highContrast         ? line->palette().color(edge)
                            : control.foreColour ? colour(*control.foreColour)
                                                 : QColor(Qt::black));
        }
        if (!design::drawnUnderHighContrast(control))
            widget->setVisible(control.visible && !highContrast);
    }
}

void orderTabs(const design::Form &form, const QHash<QString, QWidget *> &controls)
{
    std::vector<const design::Control *> stops;
    for (const design::Control &control : form.controls) {
        QWidget *widget = controls.value(controlObjectName(control));
        if (widget && widget->focusPolicy() != Qt::NoFocus)
            stops.push_back(&control);
    }
    std::sort(stops.begin(), stops.end(),
              [](const auto *a, const auto *b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(controls.value(controlObjectName(*stops[i - 1])),
                             controls.value(controlObjectName(*stops[i])));
}

void buildMenus(const design::Form &form, QMenuBar *bar)
{
    QHash<QString, QMenu *> menus;
    for (const design::MenuItem &item : form.menu) {
        const QString name = text(item.name);
        const QString parentName = text(item.parent);
        const bool opensMenu =
            std::any_of(form.menu.begin(), form.menu.end(),
                        [&](const design::MenuItem &other) { return other.parent == item.name; });
        QMenu *parent = menus.value(parentName);
        QAction *action = nullptr;
        if (opensMenu) {
            auto *menu = new QMenu(text(item.caption), parent ? static_cast<QWidget *>(parent)
                                                              : static_cast<QWidget *>(bar));
            menu->setObjectName(name);
            action = parent ? parent->addMenu(menu) : bar->addMenu(menu);
            menus.insert(name, menu);
        } else if (item.isSeparator()) {
            action = parent->addSeparator();
        } else {
            action = parent->addAction(text(item.caption));
        }
        action->setObjectName(name);
        action->setEnabled(item.enabled);
    }
}

} // namespace qvx::qt
