#pragma once

#include "qvx/helpviewer/HelpBrowser.h"

#include <QDeadlineTimer>
#include <QTest>

using namespace qvx::helpviewer;

// Pages arrive from the file's reader after the request: lets the page asked for arrive
// (or fail) before a test looks at what the viewer shows.
inline void waitForPage(const QTextBrowser *page, int milliseconds = 5000)
{
    const auto *browser = qobject_cast<const HelpBrowser *>(page);
    const QDeadlineTimer deadline(milliseconds);
    while (browser && browser->isWaitingForFile() && !deadline.hasExpired())
        QTest::qWait(2);
}
