#pragma once
// The application object. Handlers stop their own errors (RuntimeError.h);
// whatever still escapes an event's delivery is reported here the same way,
// as the last line of defence.

#include <QApplication>

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
