#include "app/cledgerkinapp.h"

int main(int argc, char** argv) {
    return CLedgerkinApp::Run(argc, argv);
}
