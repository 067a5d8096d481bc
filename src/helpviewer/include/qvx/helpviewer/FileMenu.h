#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMainWindow;

namespace qvx::helpviewer {

// The help files opened last, newest first, kept as their bytes so that a name that is not
// UTF-8 comes back the same.
namespace RecentFiles {

QStringList list();
void add(const QString &file);

} // namespace RecentFiles

// A viewer window's File menu: Open, the files opened last, Close. `open` gets the file the
// user chose.
void addFileMenu(QMainWindow *window, std::function<void(const QString &file)> open);

} // namespace qvx::helpviewer
