// bench-bare-window: the floor for launch to window, a bare Qt Widgets
// window of the piano's size and kind (frameless, fixed size, titled) and
// nothing else: no pictures, no keys, no synthesizer.
//   bench-bare-window

#include "ui/Layout.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.setFixedSize(twips::toPixels(layout::kWindow).size());
    window.show();
    return app.exec();
}
