#pragma once

#include "qvx/core/PlayDemos.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QComboBox;

namespace qvx::qt {

// The start-up window, built from its design; its behaviour is the presenter's.
class FrmPlayDemos : public QMainWindow, public PlayDemosView
{
    Q_OBJECT
public:
    explicit FrmPlayDemos(Platform &platform);
    ~FrmPlayDemos() override;

    PlayDemosPresenter &presenter() { return m_presenter; }
    Platform &platform() const { return m_platform; }
    // Load: size, centre, show, place the note, record the help file, list the demos.
    void Form_Load();
    // Turns delivered self-extracting archives of the application folder into demo files.
    void func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits = {});

    // A control by its design name, such as "cboDemos" or "optDemoVersion_1".
    QWidget *control(const QString &name) const { return m_controls.value(name); }
    template <typename T> T *control(const QString &name) const
    {
        return qobject_cast<T *>(control(name));
    }

    TwipSize screenSize() const override;
    TwipSize outerSize() const override;
    void moveOuter(float left, float top) override;
    WindowHandle handle() const override;
    bool isOpen() const override { return !m_closed; }
    void setOuterSize(int width, int height) override;
    void show() override;
    void paintNow() override;
    void close() override;
    void moveControl(ControlId control, int left, int top) override;
    void setControlVisible(ControlId control, bool visible) override;
    void setCaption(ControlId control, const std::string &text) override;
    void setMenuEnabled(std::string_view item, bool enabled) override;
    bool optionValue(int index) const override;
    void setOptionValue(int index, bool value) override;
    void clearDemoList() override;
    void addDemoEntries(const std::vector<std::string> &entries) override;
    std::string demoEntry(std::size_t index) const override;
    std::string demoText() const override;
    void setDemoText(const std::string &text) override;
    void showAbout() override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectHandlers();
    // The design's colours, or the system's while it asks for high contrast.
    void followContrast();
    void keepSelectedOptionAsTabStop();
    void applyOuterSize();
    // Runs a presenter step that hands control to the window system; a close meanwhile
    // deletes the window only once the step has returned.
    template <typename Step> void holdWhile(Step step);
    QSize wantedOuterSize() const;

    Platform &m_platform;
    PlayDemosPresenter m_presenter;
    QWidget *m_client = nullptr;
    QHash<QString, QWidget *> m_controls;
    QComboBox *m_demos = nullptr;
    QSize m_outerTwips;
    bool m_highContrast = false;
    bool m_closed = false;
    // A run of the preparation holds the window until it returns.
    int m_busy = 0;
    bool m_deleteWhenIdle = false;
};

// The program-wide reference to the main window; empty once it has unloaded.
extern QPointer<FrmPlayDemos> frmPlayDemos;

} // namespace qvx::qt
