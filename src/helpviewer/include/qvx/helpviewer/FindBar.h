#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTextEdit;

namespace qvx::helpviewer {

// A bar under the page to find text in it: as typed, then forward and back with wrap-around.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    FindBar(QTextEdit *page, QWidget *parent);

    // Shows the bar with its text selected and the keyboard in it.
    void activate();
    bool findNext() { return find(false); }
    bool findPrevious() { return find(true); }

private:
    bool find(bool backward, bool fromSelectionStart = false);
    void showFound(bool found);

    QTextEdit *m_page;
    QLineEdit *txtFind = nullptr;
    QLabel *lblFindStatus = nullptr;
};

} // namespace qvx::helpviewer
