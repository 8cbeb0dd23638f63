#pragma once

#include <QString>

// Where the file dialogs open: at the file already named when its folder exists, else in the
// folder a file was last chosen in, else in the home folder — never in the working directory
// the program happened to be started from.
class CFileFolder {
public:
    // The path to open a file dialog at for strSuggested (a file name, a path or "").
    static QString StartPath(const QString& strSuggested);
    // Keeps the folder of a chosen file for the next dialog ("" is ignored).
    static void Remember(const QString& strChosen);
};
