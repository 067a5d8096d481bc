#pragma once

#include "qvx/help/ChmFile.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace qvx::help {

// Opens help files on a worker thread, never on the GUI thread, and keeps the latest outcome
// for each file name: a file already opened (or found unreadable) is not opened again while
// it stays the same file, with the same size and times. A new version of the file replaces
// the old outcome, so that nothing read from a superseded file is kept.
namespace HelpLoader {

// The file, or none when it could not be opened. Its index may still be loading.
using Done = std::function<void(std::shared_ptr<const ChmFile> file)>;
using Indexed = std::function<void()>;

// The outcome for the file as it is now, if it is known.
std::optional<std::shared_ptr<const ChmFile>> known(const QString &path);
// Opens the file and calls `done` on the GUI thread, unless `receiver` is gone by then.
// Requests for a file already being opened wait for that one opening.
void open(const QString &path, QObject *receiver, Done done);
// Calls `indexed` on the GUI thread once the file's index is loaded (at once if it is),
// unless `receiver` is gone by then.
void whenIndexed(const std::shared_ptr<const ChmFile> &file, QObject *receiver, Indexed indexed);
// How many outcomes are kept (for tests).
int kept();
// Forgets every outcome (for tests).
void forget();

} // namespace HelpLoader

} // namespace qvx::help
