// DrvKeltortest: the driver's test utility.
#include <QApplication>

#include "DrvKeltortestApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CDrvKeltortestApp app;
    if (!app.InitInstance()) {
        return 1;
    }
    app.Run();
    return 0;
}
