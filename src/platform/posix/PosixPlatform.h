#pragma once

#include "platform/QtPlatform.h"

class PosixPlatform final : public QtPlatform
{
public:
    QString applicationFolder() const override;
    OpResult startProgram(const QString &path, const QString &workingFolder) override;
    OpResult startTracked(const QString &path, const QString &workingFolder,
                          std::unique_ptr<TrackedProgram> &program) override;
    void shellOpen(const QString &target) override;
    void htmlHelp(QWidget *owner, const QString &file, int command, int data) override;
    int messageBox(const QString &text, int style, const QString &title) override;

    QStringList listVisibleFiles(const QString &folder) override;
    bool isFile(const QString &path) override;
    bool exists(const QString &path) override;
    bool sameFile(const QString &first, const QString &second) override;
    OpResult canCreateFiles(const QString &folder) override;
    OpResult copyFile(const QString &source, const QString &destination) override;
    OpResult resetAttributes(const QString &path) override;
    OpResult makeExecutable(const QString &path) override;
    OpResult deleteFile(const QString &path) override;
    QString tempFolder() override;
};
