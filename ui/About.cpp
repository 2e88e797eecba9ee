#include "About.h"

#include "Main.h"
#include "PixelArt.h"
#include "ScreenPlacement.h"
#include "ui_About.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

TAboutBox* AboutBox = nullptr;

static void InitResources() {
    Q_INIT_RESOURCE(vexlin);
}

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TAboutBox>()) {
    InitResources();
    ui->setupUi(this);
    // A dialog border: fixed size, a close button, no minimise or maximise button (a
    // minimised modal box would leave the frame blocked with nothing to see).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ui->Memo1->document()->setDocumentMargin(0);
    ui->Image1->setPixmap(PixelArtPixmap(QStringLiteral(":/vexlin.xpm"), devicePixelRatioF()));
    QFont version = ui->lVer->font();
    version.setPixelSize(13);
    ui->lVer->setFont(version);
    const QString indent(11, QLatin1Char(' '));
    ui->Memo1->setPlainText(
        QStringList{QStringLiteral("by Brisane"), QString(),
                    QStringLiteral("Mail:    ") + QString::fromLatin1(MakerMail),
                    QStringLiteral("Home: ") + QString::fromLatin1(MakerHomePage),
                    indent + QStringLiteral("http://quendal.brisane.example/"),
                    indent + QStringLiteral("http://palm.brisane.example/"), QString()}
            .join(QLatin1Char('\n')));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;

// Esc presses the OK button, as Enter does: both close the box with the OK result. The
// close box still rejects.
void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->Button1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Some window managers offer to minimise a dialog whatever its hints say; a minimised modal
// box would leave the frame blocked with nothing to see, so the box comes straight back.
void TAboutBox::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible() && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            showNormal();
            raise();
            activateWindow();
        });
    }
}

// Every showing starts as the first: centred on the screen, nothing selected in the memo,
// its text from the top, the focus on the OK button.
void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PlaceOnScreen(*this, frameGeometry().size());
    QTextCursor start = ui->Memo1->textCursor();
    start.movePosition(QTextCursor::Start);
    ui->Memo1->setTextCursor(start);
    ui->Memo1->verticalScrollBar()->setValue(0);
    ui->Memo1->horizontalScrollBar()->setValue(0);
    ui->Button1->setFocus(Qt::OtherFocusReason);
}
