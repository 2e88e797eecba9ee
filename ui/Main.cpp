// The main frame's layout and commands.
#include "Main.h"

#include "About.h"
#include "Grid.h"
#include "ui_Main.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QUrl>

#include <exception>

TfMain* fMain = nullptr;

// The icons live in the ui library's resources; a static library must register them itself.
static void InitResources() {
    Q_INIT_RESOURCE(vexlin);
}

TfMain::TfMain(QWidget* owner) : QMainWindow(owner), ui(std::make_unique<Ui::TfMain>()) {
    InitResources();
    ui->setupUi(this);
    ui->Memo1->document()->setDocumentMargin(0);
    ui->File1->actions().at(2)->setObjectName(QStringLiteral("N1"));
    ui->tb->setFixedHeight(26);

    StatusPanel0 = new QLabel(ui->cSB);
    StatusPanel0->setObjectName(QStringLiteral("cSBPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel1 = new QLabel(tr("Brisane") + QString(9, QLatin1Char(' ')), ui->cSB);
    StatusPanel1->setObjectName(QStringLiteral("cSBPanel1"));
    StatusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui->cSB->addWidget(StatusPanel0);
    ui->cSB->addWidget(StatusPanel1, 1);
    ui->cSB->setFixedHeight(18 + 4);

    dlgOpen = new QFileDialog(this);
    dlgOpen->setObjectName(QStringLiteral("dlgOpen"));
    dlgOpen->setOption(QFileDialog::DontUseNativeDialog);
    dlgOpen->setFileMode(QFileDialog::ExistingFile);
    dlgOpen->setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen->setNameFilter(tr("Pilot Data Base (*.PDB)"));
    dlgOpen->setDefaultSuffix(QStringLiteral("pdb"));
    // Without QDir::CaseSensitive the pattern matches .pdb, .PDB and .Pdb alike.
    dlgOpen->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);

    connect(ui->Open1, &QAction::triggered, this, &TfMain::Open1Click);
    connect(ui->Close1, &QAction::triggered, this, &TfMain::Close1Click);
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
    FormCreate();
}

TfMain::~TfMain() = default;

void TfMain::FormCreate() {
    ui->tb->setBackgroundRole(QPalette::Button);
    ui->tb->setAutoFillBackground(true);
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == ui->Label1) {
            Label1Click();
            return true;
        }
        if (watched == ui->Label2) {
            Label2Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfMain::ShowError(const QString& message) {
    QMessageBox::critical(this, tr("Vexlin"), message);
}

TfGrid* TfMain::OpenFile(const QString& fileName) {
    try {
        auto grid = std::make_unique<TfGrid>(nullptr, fileName);
        QMdiSubWindow* window = ui->mdiArea->addSubWindow(grid.get());
        TfGrid* shown = grid.release();
        window->show();
        ui->mdiArea->setActiveSubWindow(window);
        return shown;
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
    return nullptr;
}

void TfMain::ToolButton1Click() {
    if (!dlgOpen->selectedFiles().isEmpty()) {
        dlgOpen->selectFile(dlgOpen->selectedFiles().constFirst());
    }
    if (dlgOpen->exec() != QDialog::Accepted || dlgOpen->selectedFiles().isEmpty()) {
        return;
    }
    OpenFile(dlgOpen->selectedFiles().constFirst());
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

void TfMain::Exit1Click() {
    close();
}

void TfMain::ToolButton2Click() {
    close();
}

void TfMain::Tile1Click() {
    ui->mdiArea->tileSubWindows();
}

void TfMain::Cascade1Click() {
    ui->mdiArea->cascadeSubWindows();
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
        AboutBox->exec();
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
