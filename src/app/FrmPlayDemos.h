#pragma once

#include <QMainWindow>
#include <QPointer>

#include <array>

class FileListBox;
class LineControl;
class Platform;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;

// The start-up window: edition choice, demo list, note on shared demos, Play and Close,
// and the File and Help menus.
class FrmPlayDemos : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmPlayDemos(Platform &platform);
    ~FrmPlayDemos() override;

    Platform &platform() const { return m_platform; }
    QString demoFolder() const { return sDemoFolder; }

    // Load: size, centre, show, place the note, record the help file, list the demos.
    void Form_Load();

    // Edition selection for the option with the given index.
    void optDemoVersion_Click(int index);
    // Refills the demo list from the edition folder and the shared folder.
    void func_ListDemos(QString &sVersion);
    // The user chose an entry from the list.
    void cboDemos_Click();
    // Starts the demo named in the list's text field.
    void cmdPlay_Click();
    // Turns delivered self-extracting archives of the application folder into demo files.
    void func_UnzipDemos(bool bCalledFromButtonClick);

    // Controls, named as the rest of the program refers to them.
    std::array<QLabel *, 5> Label4{}; // elements 0, 2, 3 and 4; there is no element 1
    std::array<LineControl *, 2> Line1{};
    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 2> optDemoVersion{};
    QGroupBox *fraDemoInfo = nullptr;
    QLabel *lblInfo = nullptr;
    QComboBox *cboDemos = nullptr;
    QPushButton *cmdPlay = nullptr;
    QPushButton *cmdClose = nullptr;
    FileListBox *filDemoFiles = nullptr;
    QGroupBox *fraExtracting = nullptr;

    QMenu *mnuFileHeader = nullptr;
    QAction *mnuPlay = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuHelpHeader = nullptr;
    QAction *mnuHelpContents = nullptr;
    QAction *mnuHelpIndex = nullptr;
    QAction *mnuQuorvexDemos = nullptr;
    QAction *mnuPlayingDemos = nullptr;
    QMenu *mnuQuorvexHeader = nullptr;
    QAction *mnuWhatIsQuorvex = nullptr;
    QAction *mnuKeyFeaturesQVX = nullptr;
    QAction *mnuAdditionalAddOns = nullptr;
    QMenu *mnuQuorvexJuniorHeader = nullptr;
    QAction *mnuWhatIsQuorvexJunior = nullptr;
    QAction *mnuKeyFeaturesQVXJr = nullptr;
    QAction *mnuQuorvexontheWebSubHeader = nullptr;
    QAction *mnuOrderingQuorvex = nullptr;
    QAction *mnuContactUs = nullptr;
    QAction *mnuAbout = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void connectHandlers();
    void setTabOrderAndFocus();
    void applyOuterSize();
    void showTopic(const QString &topic);
    void keepSelectedOptionAsTabStop();

    Platform &m_platform;
    QWidget *m_client = nullptr;
    QString sDemoFolder;
};

// The program-wide reference to the main window; empty once it has unloaded.
extern QPointer<FrmPlayDemos> frmPlayDemos;
