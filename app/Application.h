#pragma once
// The application object: any failure that escapes an event handler is shown
// in the standard error box and the program goes on.
#include <QApplication>

class TallixApplication : public QApplication {
public:
    TallixApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
