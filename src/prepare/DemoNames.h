#pragma once

#include "platform/Platform.h"

#include <QString>

// Names and texts of the preparation of delivered demo archives; no widgets involved.
namespace Prepare {

// The names that an archive's file name leads to.
struct DerivedNames
{
    // The file the running archive is expected to write, such as "Qvx3_Tic.exe".
    QString unpackedFile;
    // The prepared demo, such as "QVX3 Ticket Setup.exe".
    QString demoFile;
};

// Applies the naming rules to an archive's file name (name and extension, no folder).
// A surrogate pair counts as one character, so no rule cuts a character in half.
DerivedNames deriveNames(const QString &archiveName);

// The question asked before anything is touched; lines break with a lone carriage return.
QString promptText(qsizetype archiveCount, bool bCalledFromButtonClick);

// What the user is told when a step fails.
QString failureText(const OpResult &failure);

} // namespace Prepare
