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

// The file, or none when it could not be opened. The file may still await the probe's
// verdict on the objects its first page does not need (ChmFile::isVerified).
using Done = std::function<void(std::shared_ptr<const ChmFile> file)>;
// The verdict on a file that was opened before it came: false when it is damaged, and closed.
using Settled = std::function<void(bool sound)>;

// The outcome for the file as it is now, if it is known.
std::optional<std::shared_ptr<const ChmFile>> known(const QString &path);
// Opens the file and calls `done` on the GUI thread, unless `receiver` is gone by then.
// Requests for a file already being opened wait for that one opening.
void open(const QString &path, QObject *receiver, Done done);
// Calls `settled` on the GUI thread once the file has its verdict and its index (at once if
// it has both), unless `receiver` is gone by then.
void whenSettled(const std::shared_ptr<const ChmFile> &file, QObject *receiver, Settled settled);
// Forgets every outcome (for tests).
void forget();

} // namespace HelpLoader
