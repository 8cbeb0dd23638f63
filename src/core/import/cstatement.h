#pragma once

#include "records/crecordkind.h"

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
    QString strDateFormat = QStringLiteral("yyyy-MM-dd");

    bool IsUsable() const { return nDate >= 0 && (nAmount >= 0 || nIn >= 0 || nOut >= 0); }
    QString ToText() const;
    static SColumnMapping FromText(const QString& str);
};

// One money move as the file states it, before the book is looked at.
struct SStatementRow {
    enum class EType { Income, Outlay, Transfer };

    int nLine = 0; // where it stands in the file
    QDate date;
    EType eType = EType::Outlay;
    std::int64_t nCents = 0; // always positive
    QString strCounterpart;  // 交易对方 / payee
    QString strGoods;        // 商品说明 / memo
    QString strCategory;     // the file's own category, when it has one of ours
    QString strExtId;        // order number / FITID; "" when the file has none
    QString strAccount;      // the file's account block (QIF, OFX); "" when none
    QString strTransferTo;   // Transfer: the other account, as the file names it
    bool bRefund = false;
    // Not money moving for this user (closed trade, neutral row, own-balance move): why.
    QString strNotMoney;

    ERecordKind Kind() const {
        return eType == EType::Income ? ERecordKind::Income : ERecordKind::Outlay;
    }
};

struct SStatement {
    EStatementFormat eFormat = EStatementFormat::Csv;
    QString strEncoding; // as detected or chosen ("UTF-8", "GB18030"); "" for binary files
    QStringList header;  // the header row found (table-shaped files)
    QVector<SStatementRow> rows;
};
