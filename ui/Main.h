// The main frame: the MDI frame with the advertisement panel, toolbar, menus, status bar
// and the commands Open, Close, Exit, Tile, Cascade, Arrange All, About and the two links.
#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class TfMain;
}
class QFileDialog;
class QLabel;
class QMdiSubWindow;
class TfGrid;
struct PlacementRule;

// The maker's addresses, also listed in the About box.
inline constexpr const char* MakerHomePage = "http://www.brisane.example/";
inline constexpr const char* MakerMail = "brisane@brisane.example";

class TfMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TfMain(QWidget* owner = nullptr);
    ~TfMain() override;

    void FormCreate();
    void ToolButton1Click();
    void Open1Click();
    void Close1Click();
    // Writes the active window's database into a folder the user picks, as vexlin-dump
    // --export does; asks before it replaces a file and says what it wrote.
    void Export1Click();
    void Exit1Click();
    void ToolButton2Click();
    void Tile1Click();
    void Cascade1Click();
    void ArrangeAll1Click();
    void About1Click();
    void ToolButton9Click();
    void ToolButton3Click();
    void ToolButton5Click();
    void ToolButton6Click();
    void ToolButton7Click();
    void Label1Click();
    void Label2Click();

    // Opens a file in a new document window; an error is shown in a message box and leaves
    // no window. Returns the new window or null.
    TfGrid* OpenFile(const QString& fileName);
    // Opens each file in turn as Open does, in a window of its own: the files named on the
    // command line (a file manager's open), or dropped on the frame. An unreadable one gets
    // its message box and the others still open.
    void OpenFiles(const QStringList& fileNames);
    // The active document window, or null.
    [[nodiscard]] TfGrid* ActiveMDIChild() const;

    void SetRecordStatus(const QString& text);
    [[nodiscard]] QString recordStatus() const;
    [[nodiscard]] Ui::TfMain& form() { return *ui; }
    [[nodiscard]] QFileDialog* openDialog() const { return dlgOpen; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void ShowError(const QString& message);
    void RenewDialog();
    void ForgetDialog();
    [[nodiscard]] PlacementRule placementRule(const QMdiSubWindow& window,
                                              const TfGrid& grid) const;
    void PlaceNewWindow(QMdiSubWindow& window, const TfGrid& grid);
    void AddWindowKeys(QMdiSubWindow& window);
    [[nodiscard]] QList<QMdiSubWindow*> ArrangedWindows() const;
    // Applies a record navigation operation to the active document window, if there is one.
    void ApplyToActiveChild(void (TfGrid::*operation)());

    std::unique_ptr<Ui::TfMain> ui;
    QFileDialog* dlgOpen = nullptr;
    QString FileName; // the file last chosen in the open dialog, offered again next time
    QString ExportFolder; // the folder last exported into
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QObject* PressedLink = nullptr;
    bool Centred = false;
    int NextWindowIndex = -1; // cascade index of the last new window
};

extern TfMain* fMain;
