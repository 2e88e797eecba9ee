// The application object: a last line of defence that shows an exception escaping an event
// handler in a message box and goes on. Command handlers catch their own errors first.
#pragma once

#include <QApplication>

class VexlinApplication : public QApplication {
  public:
    VexlinApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an error message box titled with the program's name.
void ShowException(const QString& message);
