#include "Application.h"

#include <QMessageBox>

#include <exception>

VexlinApplication::VexlinApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vexlin"));
    setApplicationVersion(QStringLiteral("1.1"));
}

bool VexlinApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromStdString(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return false;
}

void ShowException(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Vexlin"), message);
}
