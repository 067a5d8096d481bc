#pragma once

#include <QByteArrayView>

enum class ExecutableKind { NotExecutable, Native, Script, Windows };

// Tells what kind of program a file holds from its first bytes. `fileHead` is the start of
// the file (enough to reach the PE header when there is one), `fileSize` its full size.
ExecutableKind classifyExecutable(QByteArrayView fileHead, qint64 fileSize);

// How many leading bytes classifyExecutable may need.
inline constexpr qint64 executableHeadSize = 4096;
