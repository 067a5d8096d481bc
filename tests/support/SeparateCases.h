#pragma once

// Test functions that CTest runs as a test of their own (a slow one, say) are named in
// QVX_TEST_SKIP, comma-separated, for the program's main run; called from init().

#include <QTest>

#define QVX_SKIP_SEPARATE_CASES()                                                                  \
    do {                                                                                           \
        if (qEnvironmentVariable("QVX_TEST_SKIP")                                                  \
                .split(u',')                                                                       \
                .contains(QLatin1String(QTest::currentTestFunction())))                            \
            QSKIP("run as a test of its own");                                                     \
    } while (false)
