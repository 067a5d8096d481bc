#pragma once

#include "platform/Platform.h"

class PosixPlatform final : public Platform
{
public:
    QString applicationFolder() const override;
    void setApplicationHelpFile(const QString &path) override;
    QString applicationHelpFile() const override;
    void setMousePointer(MousePointer pointer) override;
    void processEvents() override;

    OpResult startProgram(const QString &path, const QString &workingFolder) override;
    void shellOpen(const QString &target) override;
    void htmlHelp(QWidget *owner, const QString &file, int command, int data) override;
    int messageBox(const QString &text, int style, const QString &title) override;

    QStringList listVisibleFiles(const QString &folder) override;
    bool isFile(const QString &path) override;
    OpResult copyFile(const QString &source, const QString &destination) override;
    OpResult resetAttributes(const QString &path) override;
    OpResult deleteFile(const QString &path) override;
    QString tempFolder() override;

    double monotonicSeconds() override;
    void waitForEvents(double maxSeconds) override;
};
