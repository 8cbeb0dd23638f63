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
    int nDirection = -1; // a 收/支 column: its words give the direction, the amount its size
    QString strDateFormat = QStringLiteral("yyyy-MM-dd");

    bool IsUsable() const { return nDate >= 0 && (nAmount >= 0 || nIn >= 0 || nOut >= 0); }
    QString ToText() const;
    static SColumnMapping FromText(const QString& str);
};

// Why a row of the file moves no money for the user.
enum class ENotMoney {
    None,
    Closed,       // a closed, failed or cancelled trade
    Neutral,      // the file gives no direction (不计收支, 其他, /)
    OwnMove,      // between the user's own balances
    Refund,       // a refund that moved nothing: its payment was closed, or is not counted
    Zero,         // amount 0
    Balance,      // an opening balance
    TransferHalf, // the second half of a transfer the file lists in both accounts
    SameAccount,  // a transfer whose two sides are one account of the book
};

// One money move as the file states it, before the book is looked at.
struct SStatementRow {
    enum class EType { Income, Outlay, Transfer };

    int nLine = 0; // where it stands in the file
    QDate date;
    QString strTime; // the time of day as printed ("12:30:45"), "" when the file has none
    EType eType = EType::Outlay;
    std::int64_t nCents = 0;   // always positive
    QString strCounterpart;    // 交易对方 / payee
    QString strGoods;          // 商品说明 / memo
    QString strCategory;       // the file's own category, when it has one of ours
    QString strAppCategory;    // the payment app's own 交易分类 / 交易类型
    QString strExtId;          // order number / FITID; "" when the file has none
    QString strOrderId;        // the merchant's order number: a refund keeps its payment's
    QString strAccount;        // the file's account block (QIF, OFX); "" when none
    QString strTransferTo;     // Transfer: the other account, as the file names it
    bool bTransferOut = false; // Transfer: the money leaves strAccount for strTransferTo
    bool bRefund = false;
    bool bNeutral = false; // the file gives no direction
    // Not money moving for this user (closed trade, neutral row, own-balance move): why,
    // as a sentence for the preview.
    ENotMoney eNotMoney = ENotMoney::None;
    QString strNotMoney;
    QString strRemark; // why a counted row is counted as it is (a refund paired with its payment)

    ERecordKind Kind() const {
        return eType == EType::Income ? ERecordKind::Income : ERecordKind::Outlay;
    }
};

struct SStatement {
    EStatementFormat eFormat = EStatementFormat::Csv;
    QString strEncoding;         // as detected or chosen ("UTF-8", "GB18030"); "" for binary files
    QStringList header;          // the header row found (table-shaped files)
    bool bGuessedLayout = false; // the columns of a CSV were guessed, not confirmed
    QVector<SStatementRow> rows;
};
