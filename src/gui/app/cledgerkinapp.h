#pragma once

// The application: command line, settings, splash and main frame.
class CLedgerkinApp {
public:
    static int Run(int argc, char** argv);
    // Qt's own Simplified Chinese texts (standard buttons, print and file dialogs, context
    // menus), whatever the system locale. Once per application; false when they are missing.
    static bool InstallQtTranslations();
    // Every text is Chinese: the application's font prefers a CJK face over whatever the
    // desktop picks for Latin. Once the QApplication exists.
    static void UseChineseFont();
};
