#pragma once

#include "platform/Platform.h"

// The services that Qt itself provides the same way on every system: the application's
// folder and help-file setting, the pointer, the event pump and the clock.
class QtPlatform : public Platform
{
public:
    QString applicationFolder() const override;
    void setApplicationHelpFile(const QString &path) override;
    QString applicationHelpFile() const override;
    void setMousePointer(MousePointer pointer) override;
    void processEvents() override;
    double monotonicSeconds() override;
    void waitForEvents(double maxSeconds) override;
};
