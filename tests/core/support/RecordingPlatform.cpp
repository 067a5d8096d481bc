#include "RecordingPlatform.h"

#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"

#include <algorithm>
#include <sstream>

using qvx::OpResult;
namespace OpError = qvx::OpError;

namespace {

std::string textOf(const std::filesystem::path &path)
{
    std::string text = qvx::text::fromPath(path.lexically_normal());
    // The same texts where the system writes its paths with backslashes.
    if constexpr (std::filesystem::path::preferred_separator == '\\')
        std::replace(text.begin(), text.end(), '\\', '/');
    // "/tmp/" is the folder "/tmp", as the system sees it.
    if (text.size() > 1 && text.ends_with('/'))
        text.pop_back();
    return text;
}

std::string parentOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string shown(std::string text)
{
    for (std::size_t at = 0; (at = text.find('\r', at)) != std::string::npos; at += 2)
        text.replace(at, 1, "\\r");
    return text;
}

std::string seconds(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

} // namespace

class RecordingPlatform::Tracked final : public qvx::TrackedProgram
{
public:
    Tracked(RecordingPlatform &platform, Program program, std::string folder)
        : m_platform(platform), m_program(std::move(program)), m_folder(std::move(folder)),
          m_end(platform.clock + m_program.seconds)
    {
        ++m_platform.m_running;
    }
    ~Tracked() override
    {
        if (!m_done)
            --m_platform.m_running;
    }
    bool finished() override
    {
        if (!m_done && m_platform.clock >= m_end) {
            m_done = true;
            --m_platform.m_running;
            for (const auto &[name, contents] : m_program.writes)
                m_platform.files[m_folder + '/' + name] = contents;
        }
        return m_done;
    }
    int exitStatus() const override { return m_program.exitStatus; }

private:
    RecordingPlatform &m_platform;
    Program m_program;
    std::string m_folder;
    double m_end;
    bool m_done = false;
};

std::vector<std::string> RecordingPlatform::callsOf(const std::string &word) const
{
    std::vector<std::string> matching;
    for (const std::string &call : calls) {
        if (call.rfind(word + ' ', 0) == 0 || call == word)
            matching.push_back(call);
    }
    return matching;
}

void RecordingPlatform::addFile(const std::string &path, const std::string &contents)
{
    files[path] = contents;
    for (std::string folder = parentOf(path); folders.insert(folder).second;)
        folder = parentOf(folder);
}

bool RecordingPlatform::injected(const std::string &operation, const std::filesystem::path &path,
                                 OpResult &result) const
{
    const auto found = failures.find(operation + ' ' + textOf(path));
    if (found == failures.end())
        return false;
    result = found->second;
    return true;
}

std::filesystem::path RecordingPlatform::applicationFolder() const
{
    return qvx::text::toPath(appFolder);
}

void RecordingPlatform::setApplicationHelpFile(const std::filesystem::path &path)
{
    calls.push_back("helpfile " + textOf(path));
}

void RecordingPlatform::setPointer(qvx::Pointer pointer)
{
    calls.push_back(pointer == qvx::Pointer::Busy ? "pointer busy" : "pointer default");
}

void RecordingPlatform::processEvents()
{
    calls.push_back("events");
    if (duringEvents)
        duringEvents();
}

OpResult RecordingPlatform::startProgram(const std::filesystem::path &program,
                                         const std::filesystem::path &workingFolder)
{
    calls.push_back("start " + textOf(program) + " | " + textOf(workingFolder));
    OpResult result;
    injected("start", program, result);
    return result;
}

OpResult RecordingPlatform::startTracked(const std::filesystem::path &program,
                                         const std::filesystem::path &workingFolder,
                                         std::unique_ptr<qvx::TrackedProgram> &tracked)
{
    calls.push_back("track " + textOf(program) + " | " + textOf(workingFolder));
    OpResult result;
    if (injected("start", program, result))
        return result;
    if (!isFile(program))
        return OpError::make(OpError::FileNotFound, textOf(program));
    const auto scripted = programs.find(qvx::text::fromPath(program.filename()));
    tracked = std::make_unique<Tracked>(
        *this, scripted == programs.end() ? Program{} : scripted->second, textOf(workingFolder));
    return {};
}

void RecordingPlatform::shellOpen(const std::string &target)
{
    calls.push_back("open " + target);
}

void RecordingPlatform::htmlHelp(qvx::WindowHandle owner, const std::string &file,
                                 qvx::HelpCommand command)
{
    calls.push_back("help " + std::to_string(owner) + " | " + file + " | " +
                    (command == qvx::HelpCommand::Contents ? "contents" : "index"));
}

qvx::Answer RecordingPlatform::messageBox(const std::string &text, qvx::MessageIcon icon,
                                          qvx::MessageButtons buttons, const std::string &title)
{
    static const char *const icons[] = {"none", "critical", "question", "warning", "information"};
    calls.push_back("message " + std::string(icons[int(icon)]) +
                    (buttons == qvx::MessageButtons::OkCancel ? " ok-cancel" : " ok") + " | " +
                    title + " | " + shown(text));
    if (duringMessage)
        duringMessage();
    if (answers.empty())
        return qvx::Answer::Ok;
    const qvx::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::vector<std::filesystem::path>
RecordingPlatform::listVisibleFiles(const std::filesystem::path &folder)
{
    ++listings[textOf(folder)];
    const std::string prefix = textOf(folder) + '/';
    std::vector<std::filesystem::path> names;
    for (const auto &[path, contents] : files) {
        if (path.rfind(prefix, 0) == 0 && path.find('/', prefix.size()) == std::string::npos &&
            !hidden.count(path))
            names.push_back(qvx::text::toPath(path.substr(prefix.size())));
    }
    // Whatever order the system gives: here the reverse of the sorted one.
    std::reverse(names.begin(), names.end());
    return names;
}

std::optional<qvx::FolderStamp> RecordingPlatform::folderStamp(const std::filesystem::path &folder)
{
    const auto found = stamps.find(textOf(folder));
    if (found == stamps.end())
        return std::nullopt;
    return found->second;
}

bool RecordingPlatform::isFile(const std::filesystem::path &path)
{
    return files.count(textOf(path)) != 0;
}

bool RecordingPlatform::exists(const std::filesystem::path &path)
{
    const std::string name = textOf(path);
    return files.count(name) || folders.count(name) || fifos.count(name);
}

bool RecordingPlatform::sameFile(const std::filesystem::path &first,
                                 const std::filesystem::path &second)
{
    return exists(first) && textOf(first) == textOf(second);
}

OpResult RecordingPlatform::canCreateFiles(const std::filesystem::path &folder)
{
    const std::string name = textOf(folder);
    if (!folders.count(name))
        return OpError::make(OpError::PathNotFound, name);
    if (readOnlyFolders.count(name))
        return OpError::make(OpError::PermissionDenied, name);
    return {};
}

OpResult RecordingPlatform::copyFile(const std::filesystem::path &source,
                                     const std::filesystem::path &destination)
{
    const std::string from = textOf(source);
    const std::string to = textOf(destination);
    calls.push_back("copy " + from + " -> " + to);
    OpResult result;
    if (injected("copy", source, result))
        return result;
    if (!files.count(from))
        return OpError::make(fifos.count(from) ? OpError::FileAccess : OpError::FileNotFound, from);
    if (!folders.count(parentOf(to)))
        return OpError::make(OpError::PathNotFound, to);
    if (readOnlyFolders.count(parentOf(to)))
        return OpError::make(OpError::PermissionDenied, to);
    files[to] = files[from];
    return {};
}

OpResult RecordingPlatform::resetAttributes(const std::filesystem::path &path)
{
    calls.push_back("attributes " + textOf(path));
    OpResult result;
    if (injected("attributes", path, result))
        return result;
    return isFile(path) ? OpResult{} : OpError::make(OpError::FileNotFound, textOf(path));
}

OpResult RecordingPlatform::makeExecutable(const std::filesystem::path &path)
{
    calls.push_back("executable " + textOf(path));
    OpResult result;
    if (injected("executable", path, result))
        return result;
    return isFile(path) ? OpResult{} : OpError::make(OpError::FileNotFound, textOf(path));
}

OpResult RecordingPlatform::deleteFile(const std::filesystem::path &path)
{
    calls.push_back("delete " + textOf(path));
    OpResult result;
    if (injected("delete", path, result))
        return result;
    if (files.erase(textOf(path)) == 0)
        return OpError::make(OpError::FileNotFound, textOf(path));
    return {};
}

void RecordingPlatform::removeLeftoverCopies(const std::filesystem::path &folder)
{
    calls.push_back("leftovers " + textOf(folder));
}

std::filesystem::path RecordingPlatform::tempFolder()
{
    return qvx::text::toPath(temp);
}

void RecordingPlatform::sortNames(std::vector<std::filesystem::path> &names)
{
    auto key = [](const std::filesystem::path &name) {
        std::string text = qvx::text::fromPath(name);
        std::transform(text.begin(), text.end(), text.begin(), asciiLower);
        return text;
    };
    std::stable_sort(names.begin(), names.end(),
                     [&](const auto &a, const auto &b) { return key(a) < key(b); });
}

bool RecordingPlatform::sameNameIgnoringCase(std::string_view first, std::string_view second)
{
    return std::equal(first.begin(), first.end(), second.begin(), second.end(),
                      [](char a, char b) { return asciiLower(a) == asciiLower(b); });
}

char32_t RecordingPlatform::upperCase(char32_t c)
{
    // ASCII and the Latin-1 letters are enough for the tests.
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    return c;
}

void RecordingPlatform::waitForEvents(double maxSeconds)
{
    calls.push_back("wait " + seconds(maxSeconds));
    clock += maxSeconds;
    if (duringEvents)
        duringEvents();
}
