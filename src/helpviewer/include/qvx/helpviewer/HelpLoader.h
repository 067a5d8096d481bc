#pragma once

#include "qvx/helpviewer/ChmFile.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QObject;

// Opens help files on a worker thread, never on the GUI thread, and remembers each outcome
// for as long as the program runs: a file already opened (or found damaged) is not opened
// again while it stays the same file, with the same size and times.
namespace HelpLoader {

// The file, or none when it could not be opened.
using Done = std::function<void(std::shared_ptr<const ChmFile> file)>;

// The outcome for the file as it is now, if it is known.
std::optional<std::shared_ptr<const ChmFile>> known(const QString &path);
// Opens the file and calls `done` on the GUI thread, unless `receiver` is gone by then.
// Requests for a file already being opened wait for that one opening.
void open(const QString &path, QObject *receiver, Done done);
// Forgets every outcome (for tests).
void forget();

} // namespace HelpLoader
