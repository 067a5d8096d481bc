#pragma once

#include "qvx/core/Platform.h"
#include "qvx/platform/Desktop.h"

namespace qvx {

// The platform on Windows, made of the system's own calls. One per program, made and used
// on the thread that owns the program's windows.
class WindowsPlatform final : public Platform, public Desktop
{
public:
    WindowsPlatform() = default;
    // Closes the help viewer's windows: they run inside this process.
    ~WindowsPlatform() override;
    WindowsPlatform(const WindowsPlatform &) = delete;
    WindowsPlatform &operator=(const WindowsPlatform &) = delete;

    std::filesystem::path applicationFolder() const override;
    void setApplicationHelpFile(const std::filesystem::path &path) override;
    void setPointer(Pointer pointer) override;
    // Messages go through the filter given with setMessageFilter.
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
    OpResult copyFile(const std::filesystem::path &source,
                      const std::filesystem::path &destination) override;
    OpResult resetAttributes(const std::filesystem::path &path) override;
    OpResult makeExecutable(const std::filesystem::path &) override { return {}; }
    OpResult deleteFile(const std::filesystem::path &path) override;
    void removeLeftoverCopies(const std::filesystem::path &folder) override;
    std::filesystem::path tempFolder() override;

    void sortNames(std::vector<std::filesystem::path> &names) override;
    bool sameNameIgnoringCase(std::string_view first, std::string_view second) override;
    char32_t upperCase(char32_t character) override;
    // The system's high-contrast setting (SPI_GETHIGHCONTRAST).
    bool highContrast() override;

    double monotonicSeconds() override;
    void waitForEvents(double maxSeconds) override;

    // What the waits hand each message to before it is dispatched; null for none. The
    // filter must outlive its use here.
    void setMessageFilter(MessageFilter *filter) { m_filter = filter; }
    MessageFilter *messageFilter() const override { return m_filter; }

    // What F1 opens.
    const std::filesystem::path &applicationHelpFile() const { return m_helpFile; }
    Pointer pointer() const { return m_pointer; }
    bool applyBusyPointer() const override;
    // Whether the help viewer's library loads; without it help requests do nothing.
    static bool helpViewerAvailable();

private:
    std::filesystem::path m_helpFile;
    Pointer m_pointer = Pointer::Default;
    bool m_helpUsed = false;
    MessageFilter *m_filter = nullptr;
};

} // namespace qvx
