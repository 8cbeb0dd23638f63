#pragma once

// The application: command line, settings, splash and main frame.
class CLedgerkinApp {
public:
    static int Run(int argc, char** argv);
};
