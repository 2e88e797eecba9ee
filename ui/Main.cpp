// The main frame's layout and commands.
#include "Main.h"

#include "About.h"
#include "Export.h"
#include "Grid.h"
#include "PixelArt.h"
#include "Placement.h"
#include "ScreenPlacement.h"
#include "ui_Main.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <exception>

TfMain* fMain = nullptr;

// The icons live in the ui library's resources; a static library must register them itself.
static void InitResources() {
    Q_INIT_RESOURCE(vexlin);
}

TfMain::TfMain(QWidget* owner) : QMainWindow(owner), ui(std::make_unique<Ui::TfMain>()) {
    InitResources();
    ui->setupUi(this);
    // Database files dropped on the frame open as Open opens them.
    setAcceptDrops(true);
    ui->Memo1->document()->setDocumentMargin(0);
    ui->File1->actions().at(2)->setObjectName(QStringLiteral("N1"));
    ui->tb->setFixedHeight(26);
    for (QLabel* link : {ui->Label1, ui->Label2}) {
        link->adjustSize();
        link->raise();
    }
    ui->Image1->setPixmap(PixelArtPixmap(QStringLiteral(":/quendal.xpm"), devicePixelRatioF()));
    const std::pair<QAction*, const char*> pictures[] = {
        {ui->ToolButton1, ":/open.xpm"},  {ui->ToolButton2, ":/exit.xpm"},
        {ui->ToolButton3, ":/first.xpm"}, {ui->ToolButton5, ":/prev.xpm"},
        {ui->ToolButton6, ":/next.xpm"},  {ui->ToolButton7, ":/last.xpm"},
        {ui->ToolButton9, ":/about.xpm"}};
    for (const auto& [action, picture] : pictures) {
        action->setIcon(PixelArtIcon(QString::fromLatin1(picture)));
        // A screen reader names each button by its hint, as the tooltip shows it.
        if (QWidget* button = ui->tb->widgetForAction(action)) {
            button->setAccessibleName(action->toolTip());
        }
    }

    StatusPanel0 = new QLabel(ui->cSB);
    StatusPanel0->setObjectName(QStringLiteral("cSBPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel1 = new QLabel(tr("Brisane") + QString(9, QLatin1Char(' ')), ui->cSB);
    StatusPanel1->setObjectName(QStringLiteral("cSBPanel1"));
    StatusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Each panel a sunken bevel with a gap between them, as status panels are drawn.
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
    }
    ui->cSB->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    ui->cSB->addWidget(StatusPanel0);
    ui->cSB->addWidget(StatusPanel1, 1);
    ui->cSB->setFixedHeight(18);

    RenewDialog();

    connect(ui->Open1, &QAction::triggered, this, &TfMain::Open1Click);
    connect(ui->Close1, &QAction::triggered, this, &TfMain::Close1Click);
    connect(ui->Export1, &QAction::triggered, this, &TfMain::Export1Click);
    connect(ui->Exit1, &QAction::triggered, this, &TfMain::Exit1Click);
    connect(ui->Tile1, &QAction::triggered, this, &TfMain::Tile1Click);
    connect(ui->Cascade1, &QAction::triggered, this, &TfMain::Cascade1Click);
    connect(ui->ArrangeAll1, &QAction::triggered, this, &TfMain::ArrangeAll1Click);
    connect(ui->About1, &QAction::triggered, this, &TfMain::About1Click);
    connect(ui->ToolButton1, &QAction::triggered, this, &TfMain::ToolButton1Click);
    connect(ui->ToolButton2, &QAction::triggered, this, &TfMain::ToolButton2Click);
    connect(ui->ToolButton3, &QAction::triggered, this, &TfMain::ToolButton3Click);
    connect(ui->ToolButton5, &QAction::triggered, this, &TfMain::ToolButton5Click);
    connect(ui->ToolButton6, &QAction::triggered, this, &TfMain::ToolButton6Click);
    connect(ui->ToolButton7, &QAction::triggered, this, &TfMain::ToolButton7Click);
    connect(ui->ToolButton9, &QAction::triggered, this, &TfMain::ToolButton9Click);
    ui->Label1->installEventFilter(this);
    ui->Label2->installEventFilter(this);
    // Closing the front window brings the one behind it to the front, and Ctrl+F6 steps
    // through the windows from front to back.
    ui->mdiArea->setActivationOrder(QMdiArea::StackingOrder);
    connect(ui->mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (TfGrid* grid = window ? qobject_cast<TfGrid*>(window->widget()) : nullptr) {
            grid->FocusText();
        }
    });
    FormCreate();
}

TfMain::~TfMain() = default;

void TfMain::FormCreate() {
    ui->tb->setBackgroundRole(QPalette::Button);
    ui->tb->setAutoFillBackground(true);
}

// A link is clicked by a press and a release of the left button on it.
bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui->Label1 && watched != ui->Label2) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        PressedLink = watched;
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        const bool click =
            PressedLink == watched &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
        PressedLink = nullptr;
        if (click) {
            watched == ui->Label1 ? Label1Click() : Label2Click();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Centred on the screen when first shown, at the stored outer size (727 x 528, the window
// manager's frame included) or less where the screen is smaller.
void TfMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!Centred) {
        Centred = true;
        PlaceOnScreen(*this, QSize(727, 528));
    }
}

PlacementRule TfMain::placementRule(const QMdiSubWindow& window, const TfGrid& grid) const {
    PlacementRule rule;
    const QMargins frame = window.contentsMargins();
    rule.Step = std::max(1, frame.top());
    const QSize around(frame.left() + frame.right(), frame.top() + frame.bottom());
    rule.Design = QSize(664, 439);
    rule.Minimum = grid.ReportSize() + around;
    return rule;
}

void TfMain::PlaceNewWindow(QMdiSubWindow& window, const TfGrid& grid) {
    const QSize area = ui->mdiArea->viewport()->size();
    const PlacementRule rule = placementRule(window, grid);
    const bool first = ui->mdiArea->subWindowList().size() <= 1;
    NextWindowIndex = NextCascadeIndex(first ? -1 : NextWindowIndex, area, rule);
    window.setGeometry(NewWindowGeometry(NextWindowIndex, area, rule));
}

// The document windows that are not minimised, back to front.
QList<QMdiSubWindow*> TfMain::ArrangedWindows() const {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : ui->mdiArea->subWindowList(QMdiArea::StackingOrder)) {
        if (!window->isMinimized()) {
            if (window->isMaximized()) {
                window->showNormal();
            }
            windows.append(window);
        }
    }
    return windows;
}

// The keys of a document window's system menu: Ctrl+F4 closes the window, Ctrl+F6 brings
// the next one to the front. They work wherever the keyboard is in the window.
void TfMain::AddWindowKeys(QMdiSubWindow& window) {
    QMenu* menu = window.systemMenu();
    QAction* close = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->shortcuts() == QKeySequence::keyBindings(QKeySequence::Close)) {
            close = action;
        }
    }
    if (close == nullptr) {
        close = menu->addAction(tr("&Close"), &window, &QMdiSubWindow::close);
    }
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    auto* next = new QAction(tr("Nex&t"), &window);
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
    connect(next, &QAction::triggered, ui->mdiArea, &QMdiArea::activateNextSubWindow);
    menu->addAction(next);
    for (QAction* action : {close, next}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        window.addAction(action);
    }
}

void TfMain::ShowError(const QString& message) {
    QMessageBox::critical(this, tr("Vexlin"), message);
}

TfGrid* TfMain::OpenFile(const QString& fileName) {
    try {
        auto grid = std::make_unique<TfGrid>(nullptr, fileName);
        QMdiSubWindow* window = ui->mdiArea->addSubWindow(grid.get());
        TfGrid* shown = grid.release();
        // Shown first, so that its layout is there to measure; placed before it is painted.
        window->show();
        PlaceNewWindow(*window, *shown);
        AddWindowKeys(*window);
        ui->mdiArea->setActiveSubWindow(window);
        shown->FocusText();
        return shown;
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
    return nullptr;
}

void TfMain::OpenFiles(const QStringList& fileNames) {
    for (const QString& name : fileNames) {
        // Titled with the whole path, as a file chosen in the open dialog is.
        OpenFile(QFileInfo(name).absoluteFilePath());
    }
}

namespace {

// The local files a drag carries (a file manager's selection); none for anything else.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data != nullptr && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                files << url.toLocalFile();
            }
        }
    }
    return files;
}

} // namespace

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TfMain::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (!files.isEmpty()) {
        event->acceptProposedAction();
        // Opened once the drop has ended: a message box must not run inside the drag.
        QTimer::singleShot(0, this, [this, files] { OpenFiles(files); });
    }
}

namespace {

// The open dialog adds the default extension only to a typed name that does not exist as
// typed, so that a file without an extension opens too.
class OpenDialog : public QFileDialog {
  public:
    explicit OpenDialog(QWidget* parent) : QFileDialog(parent) {}

    void accept() override {
        setDefaultSuffix(QString());
        const QStringList typed = selectedFiles();
        if (typed.size() != 1 || !QFileInfo::exists(typed.constFirst())) {
            setDefaultSuffix(QStringLiteral("pdb"));
        }
        QFileDialog::accept();
    }
};

} // namespace

// A new dialog for every showing, so that its listing shows the folder as it is now (a file
// listed while it was being written would keep its old size); it takes over the last one's
// folder, view and history, and the file chosen last (not a name typed and then cancelled).
void TfMain::RenewDialog() {
    auto* dialog = new OpenDialog(this);
    dialog->setObjectName(QStringLiteral("dlgOpen"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(tr("Pilot Data Base (*.PDB)"));
    // Without QDir::CaseSensitive the pattern matches .pdb, .PDB and .Pdb alike.
    dialog->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    if (dlgOpen != nullptr) {
        dialog->restoreState(dlgOpen->saveState());
        delete dlgOpen;
    }
    if (!FileName.isEmpty()) {
        dialog->selectFile(FileName);
    }
    dlgOpen = dialog;
}

void TfMain::ToolButton1Click() {
    RenewDialog();
    const bool chosen = dlgOpen->exec() == QDialog::Accepted && !dlgOpen->selectedFiles().isEmpty();
    ForgetDialog();
    if (chosen) {
        FileName = dlgOpen->selectedFiles().constFirst();
        OpenFile(FileName);
    }
}

// Nothing of the closed dialog may stay: its name box's completion list is hidden (it would
// stay drawn and take the next key), and the toolbar button under which the mouse was when
// the dialog opened no longer shows as hovered.
void TfMain::ForgetDialog() {
    for (QCompleter* completer : dlgOpen->findChildren<QCompleter*>()) {
        if (completer->popup() != nullptr) {
            completer->popup()->hide();
        }
    }
    for (QToolButton* button : ui->tb->findChildren<QToolButton*>()) {
        if (button->testAttribute(Qt::WA_UnderMouse) &&
            !button->rect().contains(button->mapFromGlobal(QCursor::pos()))) {
            button->setAttribute(Qt::WA_UnderMouse, false);
            button->update();
        }
    }
    activateWindow();
}

void TfMain::Open1Click() {
    ToolButton1Click();
}

TfGrid* TfMain::ActiveMDIChild() const {
    QMdiSubWindow* window = ui->mdiArea->currentSubWindow();
    return window ? qobject_cast<TfGrid*>(window->widget()) : nullptr;
}

void TfMain::Close1Click() {
    if (QMdiSubWindow* window = ui->mdiArea->currentSubWindow()) {
        window->close();
    }
}

void TfMain::Export1Click() {
    const TfGrid* grid = ActiveMDIChild();
    if (grid == nullptr) {
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Export"),
        ExportFolder.isEmpty() ? QFileInfo(grid->fileName()).absolutePath() : ExportFolder);
    if (folder.isEmpty()) {
        return;
    }
    ExportFolder = folder;
    ExportRun run = ExportWindow(*grid, folder, false);
    if (run.Exists &&
        QMessageBox::question(this, QStringLiteral("Export"),
                              run.Problem + QStringLiteral("\n\nReplace the files that exist?"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) == QMessageBox::Yes) {
        run = ExportWindow(*grid, folder, true);
    }
    const QString report = ExportReport(run, folder);
    if (run.Problem.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Export"), report);
    } else {
        QMessageBox::warning(this, QStringLiteral("Export"), report);
    }
}

void TfMain::Exit1Click() {
    close();
}

void TfMain::ToolButton2Click() {
    close();
}

// Stacked one above the other, each as wide as the area; the active window at the top.
void TfMain::Tile1Click() {
    QList<QMdiSubWindow*> windows = ArrangedWindows();
    if (windows.isEmpty()) {
        return;
    }
    std::reverse(windows.begin(), windows.end()); // front first
    const PlacementRule rule =
        placementRule(*windows.front(), *qobject_cast<TfGrid*>(windows.front()->widget()));
    const QList<QRect> places = TileGeometries(static_cast<int>(windows.size()),
                                               ui->mdiArea->viewport()->size(), 5 * rule.Step);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->setGeometry(places[i]);
    }
}

// Down and right by a title bar each, all the same size, the active window in front.
void TfMain::Cascade1Click() {
    const QList<QMdiSubWindow*> windows = ArrangedWindows();
    if (windows.isEmpty()) {
        return;
    }
    const PlacementRule rule =
        placementRule(*windows.front(), *qobject_cast<TfGrid*>(windows.front()->widget()));
    const QList<QRect> places =
        CascadeGeometries(static_cast<int>(windows.size()), ui->mdiArea->viewport()->size(), rule);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->setGeometry(places[i]);
        windows[i]->raise();
    }
    // A new window goes on one step from the front one.
    const int positions = CascadeSteps(ui->mdiArea->viewport()->height(), rule.Step) + 1;
    NextWindowIndex = static_cast<int>((windows.size() - 1) % positions);
}

// Lines up the minimised document windows along the bottom of the MDI area, left to right
// and then upwards in rows; windows that are not minimised keep their places and sizes.
void TfMain::ArrangeAll1Click() {
    const QRect area = ui->mdiArea->viewport()->rect();
    int x = 0;
    int y = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* window : ui->mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= rowHeight;
            rowHeight = 0;
        }
        if (rowHeight == 0) {
            rowHeight = size.height();
        }
        window->move(x, y - size.height());
        x += size.width();
    }
}

void TfMain::About1Click() {
    if (AboutBox != nullptr) {
        // Kept above the frame by the window manager, as a dialog of the frame.
        AboutBox->winId();
        if (AboutBox->windowHandle() != nullptr) {
            AboutBox->windowHandle()->setTransientParent(windowHandle());
        }
        AboutBox->exec();
        activateWindow();
    }
}

void TfMain::ToolButton9Click() {
    About1Click();
}

void TfMain::ApplyToActiveChild(void (TfGrid::*operation)()) {
    if (TfGrid* grid = ActiveMDIChild()) {
        (grid->*operation)();
    }
}

void TfMain::ToolButton3Click() {
    ApplyToActiveChild(&TfGrid::FirstRecord);
}

void TfMain::ToolButton5Click() {
    ApplyToActiveChild(&TfGrid::PrevRecord);
}

void TfMain::ToolButton6Click() {
    ApplyToActiveChild(&TfGrid::NextRecord);
}

void TfMain::ToolButton7Click() {
    ApplyToActiveChild(&TfGrid::LastRecord);
}

void TfMain::Label1Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(MakerHomePage)));
}

void TfMain::Label2Click() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(MakerMail)));
}

void TfMain::SetRecordStatus(const QString& text) {
    StatusPanel0->setText(text);
}

QString TfMain::recordStatus() const {
    return StatusPanel0->text();
}
