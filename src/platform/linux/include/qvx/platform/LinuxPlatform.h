#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace qvx {

// The help viewer as the platform sees it. The program brings its own viewer on Linux; the
// platform only passes requests on and never shows a message box over one of its windows.
class HelpService
{
public:
    virtual ~HelpService() = default;
    // A help file's path or an "ms-its:" address of a page in one, as Platform::htmlHelp
    // takes it.
    virtual void show(WindowHandle owner, const std::string &fileOrAddress,
                      HelpCommand command) = 0;
    // Whether the window is one the help service shows.
    virtual bool isHelpWindow(WindowHandle window) const = 0;
};

// The platform of Linux desktops, on Qt for what shows on the screen.
//
// A WindowHandle here is the owner window's QWidget pointer cast to std::uintptr_t.
// File names are the system's bytes, kept exactly inside std::filesystem::path.
// Needs a QApplication for the screen services (message box, pointer, events).
class LinuxPlatform final : public Platform
{
public:
    // Help requests go nowhere until a help service is set; it is not owned.
    explicit LinuxPlatform(HelpService *help = nullptr);
    ~LinuxPlatform() override;
    LinuxPlatform(const LinuxPlatform &) = delete;
    LinuxPlatform &operator=(const LinuxPlatform &) = delete;

    void setHelpService(HelpService *help);
    // What setApplicationHelpFile last set.
    std::filesystem::path applicationHelpFile() const;
    // A program of ours installed beside the executable, by its file name. Every helper the
    // program starts is named so, from the application folder's bytes.
    std::filesystem::path helperProgram(std::string_view fileName) const;

    std::filesystem::path applicationFolder() const override;
    void setApplicationHelpFile(const std::filesystem::path &path) override;
    void setPointer(Pointer pointer) override;
    void processEvents() override;

    OpResult startProgram(const std::filesystem::path &program,
                          const std::filesystem::path &workingFolder) override;
    OpResult startTracked(const std::filesystem::path &program,
                          const std::filesystem::path &workingFolder,
                          std::unique_ptr<TrackedProgram> &tracked) override;
    void shellOpen(const std::string &target) override;
    void htmlHelp(WindowHandle owner, const std::string &file, HelpCommand command) override;
    Answer messageBox(const std::string &text, MessageIcon icon, MessageButtons buttons,
                      const std::string &title) override;

    std::vector<std::filesystem::path>
    listVisibleFiles(const std::filesystem::path &folder) override;
    std::optional<FolderStamp> folderStamp(const std::filesystem::path &folder) override;
    bool isFile(const std::filesystem::path &path) override;
    bool exists(const std::filesystem::path &path) override;
    bool sameFile(const std::filesystem::path &first, const std::filesystem::path &second) override;
    OpResult canCreateFiles(const std::filesystem::path &folder) override;
    // On the GUI thread the copy runs on a thread of its own while the window events are
    // handled, as in a wait; it returns when the copy has ended.
    OpResult copyFile(const std::filesystem::path &source,
                      const std::filesystem::path &destination) override;
    OpResult resetAttributes(const std::filesystem::path &path) override;
    OpResult makeExecutable(const std::filesystem::path &path) override;
    OpResult deleteFile(const std::filesystem::path &path) override;
    void removeLeftoverCopies(const std::filesystem::path &folder) override;
    // The real path of $TMPDIR, else of /tmp; empty when that is no folder.
    std::filesystem::path tempFolder() override;

    void sortNames(std::vector<std::filesystem::path> &names) override;
    bool sameNameIgnoringCase(std::string_view first, std::string_view second) override;
    char32_t upperCase(char32_t character) override;
    // Qt here reports no contrast setting; a high-contrast theme shows in the application's
    // palette, its texts and their backgrounds at the extremes of light and dark.
    bool highContrast() override;

    double monotonicSeconds() override;
    void waitForEvents(double maxSeconds) override;

private:
    HelpService *m_help;
    std::filesystem::path m_helpFile;
};

} // namespace qvx
