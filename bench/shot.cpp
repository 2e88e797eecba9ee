// Opens the viewer with the given databases already open (tiled), for screenshots and for
// looking at the layout: vexlin-shot [--tab N] [--record N] [--save PNG] FILE...
#include "About.h"
#include "Application.h"
#include "Grid.h"
#include "Main.h"
#include "ui_Grid.h"

#include <QMdiSubWindow>
#include <QTimer>

int main(int argc, char** argv) {
    VexlinApplication application(argc, argv);
    fMain = new TfMain;
    AboutBox = new TAboutBox;
    fMain->show();
    QString save;
    int tab = 0;
    int steps = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--save") && i + 1 < argc) {
            save = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--tab") && i + 1 < argc) {
            tab = QString::fromLocal8Bit(argv[++i]).toInt();
        } else if (arg == QLatin1String("--record") && i + 1 < argc) {
            steps = QString::fromLocal8Bit(argv[++i]).toInt();
        } else if (TfGrid* grid = fMain->OpenFile(arg)) {
            grid->form().PageControl1->setCurrentIndex(tab);
            for (int s = 1; s < steps; ++s) {
                fMain->ToolButton6Click();
            }
        }
    }
    fMain->Tile1Click();
    if (!save.isEmpty()) {
        QTimer::singleShot(1500, [&] {
            fMain->grab().save(save);
            application.quit();
        });
    }
    application.exec();
    delete AboutBox;
    delete fMain;
    return 0;
}
