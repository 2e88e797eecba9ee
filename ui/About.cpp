#include "About.h"

#include "Main.h"
#include "ui_About.h"

#include <QKeyEvent>

TAboutBox* AboutBox = nullptr;

static void InitResources() {
    Q_INIT_RESOURCE(vexlin);
}

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TAboutBox>()) {
    InitResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
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

// Every showing starts with the focus on the OK button, wherever it was left last time.
void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui->Button1->setFocus(Qt::OtherFocusReason);
}
