#pragma once

// Where a top-level window is, as the X server has it rather than as Qt believes.

#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QWidget>

struct XPlace
{
    QRect inside; // the window's own area
    QRect outer;  // with the window manager's frame and caption
    bool operator==(const XPlace &) const = default;
};

namespace xplace_detail {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLatin1(process.readAllStandardOutput());
}

inline int field(const QString &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(text).captured(1).toInt();
}

} // namespace xplace_detail

inline XPlace xPlace(const QWidget *window)
{
    using namespace xplace_detail;
    const QString id = QString::number(window->winId());
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    const QRect inside(field(info, QStringLiteral("Absolute upper-left X")),
                       field(info, QStringLiteral("Absolute upper-left Y")),
                       field(info, QStringLiteral("Width")), field(info, QStringLiteral("Height")));
    const QString extents = run(QStringLiteral("xprop"),
                                {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QStringList margins = QRegularExpression(QStringLiteral("=\\s*(.*)$"))
                                    .match(extents.trimmed())
                                    .captured(1)
                                    .split(QStringLiteral(", "));
    if (margins.size() != 4)
        return {inside, inside};
    return {inside, inside.adjusted(-margins[0].toInt(), -margins[2].toInt(), margins[1].toInt(),
                                    margins[3].toInt())};
}
