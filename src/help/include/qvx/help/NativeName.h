#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace qvx::help {

// File names on POSIX systems are bytes, and not every name is valid UTF-8. Inside the
// program a name is a QString in which each byte that does not decode is kept as a lone
// surrogate U+DC80..U+DCFF, so that the name turns back into the very same bytes. Only
// what is shown to the user replaces those bytes.
namespace NativeName {

// Bytes to a name: UTF-8 where it decodes, one escape per byte where it does not.
QString decode(QByteArrayView bytes);
// A name to its bytes; the exact inverse of decode. A lone surrogate that is no escape
// has no bytes of its own and becomes the replacement character's.
QByteArray encode(QStringView name);
// What the user sees: each escaped byte as U+FFFD.
QString display(QStringView name);

} // namespace NativeName

} // namespace qvx::help
