#pragma once

#include "platform/QtPlatform.h"

#include "qvx/platform/LinuxPlatform.h"

#include <memory>

// The help viewer's side of the Linux platform (PosixHelp.cpp).
std::unique_ptr<qvx::HelpService> createViewerHelpService(Platform &platform);

// The old interface, carried onto the Linux platform; names as NativeName keeps them.
class PosixPlatform final : public QtPlatform
{
public:
    PosixPlatform();
    ~PosixPlatform() override;

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

private:
    std::unique_ptr<qvx::HelpService> m_help;
    qvx::LinuxPlatform m_system;
};
