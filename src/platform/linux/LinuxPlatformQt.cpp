// The services Qt provides: what shows on the screen, the event pump (around long copies
// too) and the text rules the desktop's own lists follow.
#include "qvx/platform/LinuxPlatform.h"

#include "qvx/platform/PosixFiles.h"

#include <QApplication>
#include <QCollator>
#include <QCursor>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numeric>
#include <thread>
#include <unistd.h>

namespace qvx {
namespace {

QMessageBox::Icon iconFor(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The program's window a message box belongs to: the modal one in front, else the one in
// use. A help window is never it: it stands beside the program and stays usable.
QWidget *messageBoxOwner(const HelpService *help)
{
    const auto isHelp = [help](QWidget *window) {
        return help && help->isHelpWindow(reinterpret_cast<WindowHandle>(window));
    };
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    QWidget *active = QApplication::activeWindow();
    if (active && !isHelp(active))
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && window->windowType() == Qt::Window && !isHelp(window))
            return window;
    }
    return nullptr;
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string_view bytesOf(const std::filesystem::path &path)
{
    return path.native();
}

} // namespace

std::filesystem::path LinuxPlatform::applicationFolder() const
{
    // Qt decodes the executable's path with replacements, which no longer name the folder.
    std::string target(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
    if (length <= 0 || std::size_t(length) >= target.size())
        return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    target.resize(std::size_t(length));
    return std::filesystem::path(target).parent_path();
}

void LinuxPlatform::setPointer(Pointer pointer)
{
    if (pointer == Pointer::Busy) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    // Back to the default, not to whatever was in force before.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void LinuxPlatform::processEvents()
{
    QCoreApplication::processEvents();
}

Answer LinuxPlatform::messageBox(const std::string &text, MessageIcon icon, MessageButtons buttons,
                                 const std::string &title)
{
    // Texts break lines with a lone carriage return; Qt's layout needs a line feed.
    QString shown = fromUtf8(text);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QWidget *owner = messageBoxOwner(m_help);
    QMessageBox box(iconFor(icon), fromUtf8(title), shown, QMessageBox::NoButton, owner);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    QPushButton *ok = box.addButton(QMessageBox::Ok);
    QPushButton *cancel = nullptr;
    if (buttons == MessageButtons::OkCancel)
        cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.exec();
    return cancel && box.clickedButton() != ok ? Answer::Cancel : Answer::Ok;
}

OpResult LinuxPlatform::copyFile(const std::filesystem::path &source,
                                 const std::filesystem::path &destination)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return posix::copyReplacing(source, destination);
    // A large demo takes seconds to write and sync. The caller waits for it as for any
    // wait, and meanwhile the windows are drawn and answer.
    OpResult result;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        result = posix::copyReplacing(source, destination);
        done = true;
        // Ends the wait below at once instead of at its next look.
        QMetaObject::invokeMethod(
            application, [] {}, Qt::QueuedConnection);
    });
    while (!done)
        waitForEvents(0.1);
    worker.join();
    return result;
}

void LinuxPlatform::sortNames(std::vector<std::filesystem::path> &names)
{
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    // Ties fall back to the bytes, so that the order never depends on the folder's.
    const auto sortBy = [&](const auto &keys) {
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const int byKey = keys[a].compare(keys[b]);
            return byKey != 0 ? byKey < 0 : names[a].native() < names[b].native();
        });
    };
    const bool ascii = std::all_of(names.cbegin(), names.cend(), [](const auto &name) {
        return std::all_of(name.native().cbegin(), name.native().cend(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
    if (ascii) {
        // Plain names need no collation tables: letter case folded, bytes compared.
        std::vector<QByteArray> keys;
        keys.reserve(names.size());
        for (const auto &name : names)
            keys.push_back(QByteArray::fromStdString(name.native()).toLower());
        sortBy(keys);
    } else {
        // The C locale collates by code point; names with accents belong beside their letter.
        QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English)
                                                              : QLocale());
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        // Collation keys once each instead of collating on every comparison.
        std::vector<QCollatorSortKey> keys;
        keys.reserve(names.size());
        for (const auto &name : names)
            keys.push_back(collator.sortKey(fromUtf8(bytesOf(name)).toCaseFolded()));
        sortBy(keys);
    }

    std::vector<std::filesystem::path> sorted;
    sorted.reserve(names.size());
    for (std::size_t index : order)
        sorted.push_back(std::move(names[index]));
    names = std::move(sorted);
}

bool LinuxPlatform::sameNameIgnoringCase(std::string_view first, std::string_view second)
{
    return first == second ||
           QString::compare(fromUtf8(first), fromUtf8(second), Qt::CaseInsensitive) == 0;
}

char32_t LinuxPlatform::upperCase(char32_t character)
{
    return QChar::toUpper(character);
}

namespace {

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor &colour)
{
    const auto linear = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor &one, const QColor &other)
{
    const double first = luminance(one);
    const double second = luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

bool LinuxPlatform::highContrast()
{
    // Black on white is 21:1 and yellow on black 19.6:1; ordinary themes stay below 19:1,
    // black on a light grey face such as Fusion's among them (18.3:1).
    constexpr double least = 19.0;
    const QPalette palette = QGuiApplication::palette();
    return contrastRatio(palette.color(QPalette::WindowText), palette.color(QPalette::Window)) >=
               least &&
           contrastRatio(palette.color(QPalette::ButtonText), palette.color(QPalette::Button)) >=
               least;
}

double LinuxPlatform::monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void LinuxPlatform::waitForEvents(double maxSeconds)
{
    if (!(maxSeconds > 0))
        return;
    // A timer counts milliseconds in an int; a day is as long as anyone waits here.
    maxSeconds = std::min(maxSeconds, 86400.0);
    // The timer only wakes the blocking wait when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::chrono::milliseconds(qint64(maxSeconds * 1000.0 + 0.999)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace qvx
