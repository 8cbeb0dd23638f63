#include "crecordsearch.h"

#include "creportquery.h"
#include "data/ckeptschema.h"
#include "data/cmoney.h"
#include "data/csearchschema.h"
#include "data/csearchtext.h"
#include "data/cstoreddate.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

// The trigram index finds words of this many characters or more.
constexpr int TrigramLength = 3;

struct STableInfo {
    CRecordSearch::ERowKind eKind;
    CSearchSchema::EKind eSchemaKind;
    QString strTable, strDate, strAmount; // unquoted
    QString strColumns;                   // what is read, through "r"
};

const STableInfo TableInfo[] = {
    {CRecordSearch::ERowKind::Income, CSearchSchema::Income, QStringLiteral("Income"),
     QStringLiteral("Date"), QStringLiteral("Amount"),
     QStringLiteral("r.\"编号\", r.\"Date\", r.\"Sort\", r.\"Note\", r.\"Amount\", r.\"Bank\"")},
    {CRecordSearch::ERowKind::Outlay, CSearchSchema::Outlay, QStringLiteral("Outlay"),
     QStringLiteral("Date"), QStringLiteral("Amount"),
     QStringLiteral("r.\"编号\", r.\"Date\", r.\"Sort\", r.\"Note\", r.\"Amount\", r.\"Bank\"")},
    {CRecordSearch::ERowKind::Transfer, CSearchSchema::Transfer, QStringLiteral("Trs"),
     QStringLiteral("TrsDate"), QStringLiteral("TrsAmount"),
     QStringLiteral("r.\"编号\", r.\"TrsDate\", r.\"TrsFrom\", r.\"TrsIn\", r.\"TrsAmount\"")},
};

bool Wanted(CRecordSearch::EKinds eKinds, CRecordSearch::ERowKind eKind) {
    switch (eKinds) {
    case CRecordSearch::EKinds::Income:
        return eKind == CRecordSearch::ERowKind::Income;
    case CRecordSearch::EKinds::Outlay:
        return eKind == CRecordSearch::ERowKind::Outlay;
    case CRecordSearch::EKinds::Transfer:
        return eKind == CRecordSearch::ERowKind::Transfer;
    case CRecordSearch::EKinds::All:
        break;
    }
    return true;
}

// "%word%" for LIKE … ESCAPE '!'.
QString LikePattern(const QString& strWord) {
    QString str = strWord;
    str.replace(QLatin1Char('!'), QStringLiteral("!!"))
        .replace(QLatin1Char('%'), QStringLiteral("!%"))
        .replace(QLatin1Char('_'), QStringLiteral("!_"));
    return QLatin1Char('%') + str + QLatin1Char('%');
}

int Characters(const QString& str) {
    return int(str.toUcs4().size());
}

// The rows of one table that pass the query's conditions in SQL; the exact day test follows.
QString RowsSql(const STableInfo& t, const CRecordSearch::SQuery& query, const QStringList& words,
                bool bKept, const CSqlDialect& d, const QString& strUser, QVariantList& values) {
    QString strSql;
    if (!words.isEmpty() && bKept) {
        QStringList trigram;
        for (const QString& strWord : words)
            if (Characters(strWord) >= TrigramLength)
                trigram << QLatin1Char('"') +
                               QString(strWord).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                               QLatin1Char('"');
        const bool bFts = d.IsSQLite() && !trigram.isEmpty();
        // The kept words lead: SQLite reads the trigram index's rows (the user's own index
        // entries left unused, "+"), or the user's words off their index without the table.
        strSql =
            QStringLiteral("SELECT %1 FROM %2 t CROSS JOIN \"%3\" r WHERE %4 = ? AND "
                           "r.\"编号\" = t.\"Row\" / 4 AND t.\"Row\" % 4 = %5")
                .arg(t.strColumns, CSearchSchema::Table, t.strTable,
                     bFts ? QStringLiteral("+t.\"UserName\"") : QStringLiteral("t.\"UserName\""))
                .arg(int(t.eSchemaKind));
        values << strUser;
        if (bFts) {
            strSql += QStringLiteral(" AND t.\"Row\" IN (SELECT rowid FROM %1 WHERE %1 MATCH ?)")
                          .arg(CSearchSchema::Index);
            values << trigram.join(QLatin1Char(' '));
        }
        // The words are folded already: SQLite compares them plainly (faster than LIKE);
        // PostgreSQL's trigram index answers LIKE.
        for (const QString& strWord : words) {
            if (d.IsSQLite()) {
                strSql += QStringLiteral(" AND instr(t.\"Words\", ?) > 0");
                values << strWord;
            } else {
                strSql += QStringLiteral(" AND t.\"Words\" LIKE ? ESCAPE '!'");
                values << LikePattern(strWord);
            }
        }
        strSql += QStringLiteral(" AND r.\"UserName\" = ?");
        values << strUser;
    } else {
        // Without kept words the user's rows are read and their words folded here.
        strSql = QStringLiteral("SELECT %1 FROM \"%2\" r WHERE r.\"UserName\" = ?")
                     .arg(t.strColumns, t.strTable);
        values << strUser;
    }
    // Rows without an account only make a day exist; they are no records.
    if (t.eKind != CRecordSearch::ERowKind::Transfer)
        strSql += QStringLiteral(" AND r.\"Bank\" <> ''");
    // A day's values lie between the two plain day texts (CStoredDate); whether a value is a
    // day at all is decided when it is read.
    const QString strDate = QStringLiteral("r.\"%1\"").arg(t.strDate);
    if (query.from.isValid()) {
        strSql += QStringLiteral(" AND %1 >= ?").arg(strDate);
        values << d.BindDay(query.from);
    }
    if (query.to.isValid()) {
        strSql += QStringLiteral(" AND %1 < ?").arg(strDate);
        values << d.BindDay(query.to.addDays(1));
    }
    const QString strCents = CKeptSchema::CentsSql(d, QStringLiteral("r.\"%1\"").arg(t.strAmount));
    if (query.nMinCents) {
        strSql += QStringLiteral(" AND %1 >= ?").arg(strCents);
        values << qlonglong(*query.nMinCents);
    }
    if (query.nMaxCents) {
        strSql += QStringLiteral(" AND %1 <= ?").arg(strCents);
        values << qlonglong(*query.nMaxCents);
    }
    return strSql;
}

} // namespace

QStringList CRecordSearch::Words(const QString& strTyped) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return CSearchSchema::Fold(strTyped).split(blanks, Qt::SkipEmptyParts);
}

CRecordSearch::SResult CRecordSearch::Find(const QString& strUser, const SQuery& query,
                                           EMethod eMethod, const QString& strConnection) {
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    const QStringList words = Words(query.strWords);
    const bool bKept = eMethod == EMethod::Kept && CSearchText::IsReady(strConnection);
    SResult result;
    if (query.from.isValid() && query.to.isValid() && query.to < query.from)
        return result;
    for (const STableInfo& t : TableInfo) {
        if (!Wanted(query.eKinds, t.eKind))
            continue;
        QVariantList values;
        const QString strSql = RowsSql(t, query, words, bKept, d, strUser, values);
        QSqlQuery q = CDatabase::Exec(strSql, values, strConnection);
        const bool bTransfer = t.eKind == ERowKind::Transfer;
        while (q.next()) {
            SRow row;
            row.day = CStoredDate::Day(q.value(1));
            if (!row.day.isValid() || (query.from.isValid() && row.day < query.from) ||
                (query.to.isValid() && row.day > query.to))
                continue;
            if (!bKept && !words.isEmpty()) {
                QString strText;
                for (int c = 2; c < (bTransfer ? 4 : 6); ++c) {
                    if (c == 4)
                        continue; // the amount
                    strText += CSearchSchema::Fold(q.value(c).toString()) + QChar(31);
                }
                bool bAll = true;
                for (const QString& strWord : words)
                    bAll = bAll && strText.contains(strWord);
                if (!bAll)
                    continue;
            }
            row.eKind = t.eKind;
            row.nId = q.value(0).toLongLong();
            if (bTransfer) {
                row.strBank = q.value(2).toString();
                row.strToBank = q.value(3).toString();
                row.dAmount = q.value(4).toDouble();
            } else {
                row.strSort = q.value(2).toString();
                row.strNote = q.value(3).toString();
                row.dAmount = q.value(4).toDouble();
                row.strBank = q.value(5).toString();
            }
            const std::int64_t nCents = CMoney::ToCents(row.dAmount);
            switch (t.eKind) {
            case ERowKind::Income:
                result.nIncomeCents += nCents;
                ++result.nIncomeRows;
                break;
            case ERowKind::Outlay:
                result.nOutlayCents += nCents;
                ++result.nOutlayRows;
                break;
            case ERowKind::Transfer:
                result.nTransferCents += nCents;
                ++result.nTransferRows;
                break;
            }
            result.rows.push_back(std::move(row));
        }
    }
    std::sort(result.rows.begin(), result.rows.end(), [](const SRow& a, const SRow& b) {
        if (a.day != b.day)
            return a.day < b.day;
        if (a.eKind != b.eKind)
            return int(a.eKind) < int(b.eKind);
        return a.nId < b.nId;
    });
    return result;
}

QString CRecordSearch::KindText(ERowKind eKind) {
    switch (eKind) {
    case ERowKind::Income:
        return QCoreApplication::translate("CRecordSearch", "收入");
    case ERowKind::Outlay:
        return QCoreApplication::translate("CRecordSearch", "支出");
    case ERowKind::Transfer:
        break;
    }
    return QCoreApplication::translate("CRecordSearch", "转账");
}

CTextTable CRecordSearch::Table(const SResult& result) {
    CTextTable table(7);
    table.Reserve(int(result.rows.size()));
    for (const SRow& row : result.rows) {
        const QString strBank = row.eKind == ERowKind::Transfer
                                    ? row.strBank + QStringLiteral(" → ") + row.strToBank
                                    : row.strBank;
        table.AppendRow({QString(), CReportQuery::FormatDate(row.day), KindText(row.eKind),
                         row.strSort, row.strNote, CMoney::FormatYuan(row.dAmount), strBank});
    }
    table.Squeeze();
    return table;
}
