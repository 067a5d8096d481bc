#include "Accessibility.h"

#include "FormBuilder.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace qvx::qt {
namespace {

constexpr char decorativeProperty[] = "qvxDecorative";

QString text(const std::string &value)
{
    return QString::fromStdString(value);
}

// Decoration stays in the tree of widgets, but a screen reader finds nothing in it to read.
class DecorativeAccessible final : public QAccessibleWidget
{
public:
    DecorativeAccessible(QWidget *widget, QAccessible::Role role) : QAccessibleWidget(widget, role)
    {
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        state.focusable = false;
        return state;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

QAccessibleInterface *decorativeFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || !widget->property(decorativeProperty).toBool())
        return nullptr;
    const auto *label = qobject_cast<QLabel *>(widget);
    const QAccessible::Role role = !label                     ? QAccessible::Separator
                                   : label->pixmap().isNull() ? QAccessible::StaticText
                                                              : QAccessible::Graphic;
    return new DecorativeAccessible(widget, role);
}

} // namespace

void describeControls(const design::Form &form, const QHash<QString, QWidget *> &controls)
{
    // Once for the program; the factory answers for marked widgets only.
    static const bool installed = [] {
        QAccessible::installFactory(decorativeFactory);
        return true;
    }();
    static_cast<void>(installed);

    for (const design::Control &control : form.controls) {
        QWidget *widget = controls.value(controlObjectName(control));
        if (!widget)
            continue;
        if (control.decorative) {
            widget->setProperty(decorativeProperty, true);
            // Qt made and kept the widget's interface while it was built, before the mark.
            if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget))
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
            continue;
        }
        if (control.kind != design::Kind::Label) {
            if (const std::string name = design::accessibleName(form, control); !name.empty())
                widget->setAccessibleName(text(name));
        }
        const std::string_view description = design::accessibleDescription(control);
        if (!description.empty())
            widget->setAccessibleDescription(text(std::string(description)));
        if (control.labelledBy) {
            // The relation that desktop screen readers follow from a field to its prompt.
            if (auto *label = qobject_cast<QLabel *>(controls.value(controlObjectName(
                    ControlId{control.labelledBy->name, control.labelledBy->index}))))
                label->setBuddy(widget);
        }
    }
}

} // namespace qvx::qt
