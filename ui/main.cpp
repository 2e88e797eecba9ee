// Vexlin: a read-only viewer for Palm OS databases. Starts the frame and the hidden About
// box; the command line is not read.
#include "Main.h"
#include "About.h"
#include "Application.h"
#include "PixelArt.h"

#include <QIcon>

#include <exception>

int main(int argc, char** argv) {
    VexlinApplication application(argc, argv);
    application.setWindowIcon(PixelArtIcon(QStringLiteral(":/vexlin.xpm")));
    try {
        fMain = new TfMain;
        AboutBox = new TAboutBox;
        fMain->show();
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
