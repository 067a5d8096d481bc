#pragma once

#include "qvx/core/Design.h"

#include <QHash>
#include <QString>

class QWidget;

namespace qvx::qt {

// Tells screen readers what each control of a built window is, as its design says: names
// and descriptions, the label that names a control, and no presence for decoration.
// Labels keep the name Qt gives them, the text they show.
void describeControls(const design::Form &form, const QHash<QString, QWidget *> &controls);

} // namespace qvx::qt
