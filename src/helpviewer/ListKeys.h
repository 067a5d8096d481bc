#pragma once

#include <QObject>

class QWidget;

namespace qvx::helpviewer {

// Hands a text field's Up, Down, Page Up and Page Down to a list, so that the list is gone
// through while the typing stays in the field. The field owns it.
class ListKeys : public QObject
{
public:
    ListKeys(QWidget *field, QWidget *list);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_list;
};

} // namespace qvx::helpviewer
