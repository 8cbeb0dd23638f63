#include "cledgerkinapp.h"

#include <QApplication>

int CLedgerkinApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
