#pragma once

#include "qvx/core/Design.h"
#include "qvx/core/FormView.h"

#include <QFont>
#include <QHash>
#include <QString>

class QMenuBar;
class QWidget;

namespace qvx::qt {

// The Qt name of a control: its design name, with "_<index>" for an array element.
QString controlObjectName(ControlId control);
QString controlObjectName(const design::Control &control);
QFont designFont(const design::Font &font);

// Builds a window's controls from its design inside `client`, back to front, each with its
// design name as object name. Returns them by object name. File lists have no widget: the
// presenter keeps the listing.
QHash<QString, QWidget *> buildControls(const design::Form &form, QWidget *client);
// Sets the tab order of the controls that take the focus by their design tab indexes.
void orderTabs(const design::Form &form, const QHash<QString, QWidget *> &controls);
// The design's colours, or under a high-contrast scheme the system's: the controls' own
// palettes give way to the window's, an etched rule takes the palette's edge colours, and
// text drawn only for decoration hides. Called again when the scheme changes.
void applyColours(const design::Form &form, const QHash<QString, QWidget *> &controls,
                  bool highContrast);
// Builds the menu bar from the design's tree; each action and menu is named after its item.
void buildMenus(const design::Form &form, QMenuBar *bar);

} // namespace qvx::qt
