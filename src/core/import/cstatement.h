#pragma once

#include "cstatementrows.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

// The kinds of file the import reads.
enum class EStatementFormat { Alipay, Wechat, Qif, Ofx, Csv };

// One line (or sheet row) of a table-shaped file, with where it stood for messages.
struct STableRow {
    int nLine = 0;
    QStringList cells;
};
using TTable = QVector<STableRow>;

// How the columns of a CSV without a known layout are read. Column indexes count from 0;
// -1 means "not in this file". Either nAmount (signed: negative is outlay) or nIn / nOut.
struct SColumnMapping {
    int nDate = -1;
    int nAmount = -1;
    int nIn = -1;
    int nOut = -1;
    int nNote = -1;
    int nCounterpart = -1;
    int nCategory = -1;
    int nDirection = -1; // a 收/支 column: its words give the direction, the amount its size
    QString strDateFormat = QStringLiteral("yyyy-MM-dd");

    bool IsUsable() const { return nDate >= 0 && (nAmount >= 0 || nIn >= 0 || nOut >= 0); }
    QString ToText() const;
    static SColumnMapping FromText(const QString& str);
};

struct SStatement {
    EStatementFormat eFormat = EStatementFormat::Csv;
    QString strEncoding;         // as detected or chosen ("UTF-8", "GB18030"); "" for binary files
    QStringList header;          // the header row found (table-shaped files)
    bool bGuessedLayout = false; // the columns of a CSV were guessed, not confirmed
    CStatementRows rows;
};

// A text as the book keeps it: at most CDatabase::MaxTextLength characters.
QString FitText(const QString& str);
// The note a statement row's record gets: the counterpart and the goods, on one line, fitted.
QString StatementNote(const QString& strCounterpart, const QString& strGoods);
