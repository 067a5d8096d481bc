#pragma once

#include "qvx/core/About.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

namespace qvx::qt {

// The About window, built from its design; its behaviour is the presenter's.
class FrmAbout : public QDialog, public AboutView
{
    Q_OBJECT
public:
    // A window in its design state; the presenter's load fills it in. Owned by the main
    // window when one is given, so that it gets no taskbar button of its own.
    explicit FrmAbout(Platform &platform, QWidget *mainWindow = nullptr);
    ~FrmAbout() override;

    // Creates the About window afresh through frmAbout, loads it and shows it modally over
    // the main window; returns once it is closed.
    static void showModal(Platform &platform, QWidget *mainWindow);

    AboutPresenter &presenter() { return m_presenter; }
    QWidget *control(const QString &name) const { return m_controls.value(name); }

    TwipSize screenSize() const override;
    TwipSize outerSize() const override;
    void moveOuter(float left, float top) override;
    void takeMainWindowIcon() override;
    void setWindowCaption(const std::string &text) override;
    void setCaption(ControlId control, const std::string &text) override;
    void setControlVisible(ControlId control, bool visible) override;
    void unload() override;

protected:
    bool event(QEvent *event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // The design's colours, white on black, or the system's while it asks for high contrast.
    void applyColours(bool highContrast);

    Platform &m_platform;
    AboutPresenter m_presenter;
    QWidget *m_mainWindow;
    QHash<QString, QWidget *> m_controls;
    bool m_highContrast = false;
};

// The program-wide reference to the About window; empty whenever it is not open.
extern QPointer<FrmAbout> frmAbout;

} // namespace qvx::qt
