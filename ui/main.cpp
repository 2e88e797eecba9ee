// Vexlin: a read-only viewer for Palm OS databases. Starts the frame and the hidden About
// box, then opens each file the command line names (vexlin FILE..., as a file manager starts
// it) in a window of its own.
#include "Main.h"
#include "About.h"
#include "Application.h"
#include "PixelArt.h"

#include <QIcon>
#include <QStringList>
#include <QTimer>

#include <exception>

int main(int argc, char** argv) {
    VexlinApplication application(argc, argv);
    application.setWindowIcon(PixelArtIcon(QStringLiteral(":/vexlin.xpm")));
    try {
        fMain = new TfMain;
        AboutBox = new TAboutBox;
        fMain->show();
        // Qt has taken its own options; the rest are files ("--" first lets a name start
        // with "-"). They open once the frame is up, so that a message box has its owner.
        QStringList files = application.arguments().mid(1);
        if (!files.isEmpty() && files.constFirst() == QLatin1String("--")) {
            files.removeFirst();
        }
        if (!files.isEmpty()) {
            QTimer::singleShot(0, fMain, [files] { fMain->OpenFiles(files); });
        }
        application.exec();
    } catch (const std::exception& e) {
        ShowException(QString::fromStdString(e.what()));
    }
    delete AboutBox;
    AboutBox = nullptr;
    delete fMain;
    fMain = nullptr;
    return 0;
}
