// The tolvan program: the main window, run until it closes.
#include <QApplication>

#include "MainFrm.h"
#include "TolvanLook.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(QString());  // the window names the program
    tolvan::ApplyApplicationLook();
    tolvan::TMainFormOptions options;
    options.parameters = QApplication::arguments().mid(1);
    tolvan::TMainForm window(options);
    window.show();
    return QApplication::exec();
}
