#pragma once

#include <QDialog>
#include <QPointer>

#include <array>

class CaptionLabel;
class ImageControl;
class LineControl;
class Platform;
class QLabel;
class QPushButton;

// The About window: logo, title, version and copyright, description, the maker's contact
// lines, and the recorder's badge that opens the recorder's page.
class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    // A window in its design state; Form_Load fills it in.
    explicit FrmAbout(Platform &platform, QWidget *parent = nullptr);
    ~FrmAbout() override;

    // Creates the About window afresh through frmAbout, loads it and shows it modally over
    // the main window; returns once it is closed.
    static void showModal(Platform &platform);

    // The texts the load steps set, carriage returns included.
    static QString captionText();
    static QString titleText();
    static QString descriptionText();
    // "Version <major>.<minor>.<revision>", a carriage return, then the copyright text.
    static QString versionText(const QString &legalCopyright);
    // The maker's five contact lines.
    static QString contactText();

    // Load with the executable's own copyright text, or with the one given.
    void Form_Load();
    void Form_Load(const QString &legalCopyright);

    void cmdOK_Click();
    // The element index is passed on but plays no part.
    void Image2_Click(int index);
    void Image2_MouseMove(int index);
    void Form_MouseMove();

    // Controls, back to front.
    QLabel *Image3 = nullptr;
    std::array<LineControl *, 2> Line1{};
    CaptionLabel *lblDescription = nullptr;
    CaptionLabel *lblTitle = nullptr;
    CaptionLabel *lblVersion = nullptr;
    CaptionLabel *lblContactInfo = nullptr;
    std::array<ImageControl *, 2> Image2{}; // 1 grey, 0 colour (drawn in front of 1)
    QPushButton *cmdOK = nullptr;

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void createControls();

    Platform &m_platform;
};

// The program-wide reference to the About window; empty whenever it is not open.
extern QPointer<FrmAbout> frmAbout;
