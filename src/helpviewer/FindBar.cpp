#include "qvx/helpviewer/FindBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QToolButton>

namespace qvx::helpviewer {

FindBar::FindBar(QTextEdit *page, QWidget *parent) : QWidget(parent), m_page(page)
{
    setObjectName(QStringLiteral("barFind"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto *label = new QLabel(tr("Fi&nd:"), this);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setClearButtonEnabled(true);
    label->setBuddy(txtFind);
    auto *cmdPrevious = new QToolButton(this);
    cmdPrevious->setObjectName(QStringLiteral("cmdFindPrevious"));
    cmdPrevious->setArrowType(Qt::UpArrow);
    cmdPrevious->setToolTip(tr("Previous (Shift+F3)"));
    auto *cmdNext = new QToolButton(this);
    cmdNext->setObjectName(QStringLiteral("cmdFindNext"));
    cmdNext->setArrowType(Qt::DownArrow);
    cmdNext->setToolTip(tr("Next (F3)"));
    lblFindStatus = new QLabel(this);
    lblFindStatus->setObjectName(QStringLiteral("lblFindStatus"));
    auto *cmdClose = new QToolButton(this);
    cmdClose->setObjectName(QStringLiteral("cmdFindClose"));
    cmdClose->setText(tr("Close"));
    layout->addWidget(label);
    layout->addWidget(txtFind, 1);
    layout->addWidget(cmdPrevious);
    layout->addWidget(cmdNext);
    layout->addWidget(lblFindStatus);
    layout->addStretch();
    layout->addWidget(cmdClose);

    // Typing refines the match where it stands rather than jumping past it.
    connect(txtFind, &QLineEdit::textEdited, this, [this] { find(false, true); });
    connect(txtFind, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(cmdNext, &QToolButton::clicked, this, &FindBar::findNext);
    connect(cmdPrevious, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(cmdClose, &QToolButton::clicked, this, &QWidget::hide);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        hide();
        m_page->setFocus();
    });
    hide();
}

void FindBar::activate()
{
    show();
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
}

bool FindBar::find(bool backward, bool fromSelectionStart)
{
    const QString text = txtFind->text();
    if (text.isEmpty()) {
        lblFindStatus->clear();
        return false;
    }
    if (isHidden())
        show();
    QTextCursor cursor = m_page->textCursor();
    if (fromSelectionStart) {
        cursor.setPosition(cursor.selectionStart());
        m_page->setTextCursor(cursor);
    }
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_page->find(text, flags);
    if (!found) {
        // Go round once from the other end.
        QTextCursor wrapped(m_page->document());
        wrapped.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_page->setTextCursor(wrapped);
        found = m_page->find(text, flags);
        if (!found)
            m_page->setTextCursor(cursor);
    }
    showFound(found);
    return found;
}

void FindBar::showFound(bool found)
{
    lblFindStatus->setText(found ? QString() : tr("Not found"));
    QPalette palette = txtFind->palette();
    palette.setColor(QPalette::Base,
                     found ? QPalette().color(QPalette::Base) : QColor(255, 200, 200));
    txtFind->setPalette(palette);
}

} // namespace qvx::helpviewer
