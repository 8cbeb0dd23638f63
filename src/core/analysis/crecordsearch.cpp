#include "crecordsearch.h"

#include "creportquery.h"
#include "data/ckeptschema.h"
#include "data/cmoney.h"
#include "data/csearchschema.h"
#include "data/csearchtext.h"
#include "data/cstoreddate.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <tuple>
#include <vector>

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

// The rows of one table that pass the query's conditions in SQL, read row by row (a book
// without the kept words); the exact day test and the words follow.
QString PlainSql(const STableInfo& t, const CRecordSearch::SQuery& query, const CSqlDialect& d,
                 const QString& strUser, QVariantList& values) {
    QString strSql = QStringLiteral("SELECT %1 FROM \"%2\" r WHERE r.\"UserName\" = ?")
                         .arg(t.strColumns, t.strTable);
    values << strUser;
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

qlonglong DayKey(const QDate& day) {
    return qlonglong(day.year()) * 10000 + day.month() * 100 + day.day();
}

// The hits of every wanted kind off the kept words alone: their keys, days and cents.
// bPieces: PostgreSQL's index of the words' pieces is there.
QString KeptSql(const CRecordSearch::SQuery& query, const QStringList& words, const CSqlDialect& d,
                bool bPieces, const QString& strUser, QVariantList& values) {
    QStringList trigram;
    for (const QString& strWord : words)
        if (Characters(strWord) >= TrigramLength)
            trigram << QLatin1Char('"') +
                           QString(strWord).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                           QLatin1Char('"');
    const bool bFts = d.IsSQLite() && !trigram.isEmpty();
    // PostgreSQL with the pieces' index: every word is looked up there, a short one whole and
    // a longer one by its pieces of two characters, all at once. The pieces hold the user, so
    // this finds the user's hits alone, where the trigram index finds every user's.
    QStringList pieces;
    if (bPieces)
        for (const QString& strWord : words) {
            const QList<uint> chars = strWord.toUcs4();
            if (chars.size() < TrigramLength)
                pieces << CSearchSchema::Piece(strUser, strWord);
            else
                for (qsizetype i = 0; i + 1 < chars.size(); ++i) {
                    const char32_t pair[] = {chars[i], chars[i + 1]};
                    pieces << CSearchSchema::Piece(strUser, QString::fromUcs4(pair, 2));
                }
        }
    pieces.removeDuplicates();
    // SQLite reads the trigram index's rows when a word is long enough (the user's own index
    // entries left unused, "+"), else the user's entries of the words' index, which hold
    // everything tested and returned.
    QString strSql = QStringLiteral("SELECT t.\"Row\", t.\"Day\", t.\"Cents\" FROM %1 t WHERE "
                                    "%2 = ? AND t.\"Day\" > 0")
                         .arg(CSearchSchema::Table, bFts ? QStringLiteral("+t.\"UserName\"")
                                                         : QStringLiteral("t.\"UserName\""));
    values << strUser;
    for (const STableInfo& t : TableInfo)
        if (query.eKinds != CRecordSearch::EKinds::All && Wanted(query.eKinds, t.eKind))
            strSql += QStringLiteral(" AND t.\"Row\" % 4 = %1").arg(int(t.eSchemaKind));
    if (bFts) {
        strSql += QStringLiteral(" AND t.\"Row\" IN (SELECT rowid FROM %1 WHERE %1 MATCH ?)")
                      .arg(CSearchSchema::Index);
        values << trigram.join(QLatin1Char(' '));
    }
    if (!pieces.isEmpty()) {
        strSql += QStringLiteral(" AND %1 @> CAST(ARRAY[%2] AS text[])")
                      .arg(CSearchSchema::PiecesSql(QStringLiteral("t")),
                           QStringList(pieces.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        for (const QString& strPiece : std::as_const(pieces))
            values << strPiece;
    }
    // The words are folded already: SQLite compares them plainly (faster than LIKE), as
    // PostgreSQL does after the pieces' index. Without it, PostgreSQL's trigram index answers
    // LIKE for a word of three characters or more; a shorter one has no trigram, and LIKE
    // would read the whole index: strpos() keeps the planner on the user's rows.
    for (const QString& strWord : words) {
        if (d.IsSQLite()) {
            strSql += QStringLiteral(" AND instr(t.\"Words\", ?) > 0");
            values << strWord;
        } else if (pieces.isEmpty() && Characters(strWord) >= TrigramLength) {
            strSql += QStringLiteral(" AND t.\"Words\" LIKE ? ESCAPE '!'");
            values << LikePattern(strWord);
        } else {
            strSql += QStringLiteral(" AND strpos(t.\"Words\", ?) > 0");
            values << strWord;
        }
    }
    if (query.from.isValid()) {
        strSql += QStringLiteral(" AND t.\"Day\" >= ?");
        values << DayKey(query.from);
    }
    if (query.to.isValid()) {
        strSql += QStringLiteral(" AND t.\"Day\" <= ?");
        values << DayKey(query.to);
    }
    if (query.nMinCents) {
        strSql += QStringLiteral(" AND t.\"Cents\" >= ?");
        values << qlonglong(*query.nMinCents);
    }
    if (query.nMaxCents) {
        strSql += QStringLiteral(" AND t.\"Cents\" <= ?");
        values << qlonglong(*query.nMaxCents);
    }
    return strSql;
}

void Count(CRecordSearch::SResult& result, CRecordSearch::ERowKind eKind, std::int64_t nCents) {
    switch (eKind) {
    case CRecordSearch::ERowKind::Income:
        result.nIncomeCents += nCents;
        ++result.nIncomeRows;
        break;
    case CRecordSearch::ERowKind::Outlay:
        result.nOutlayCents += nCents;
        ++result.nOutlayRows;
        break;
    case CRecordSearch::ERowKind::Transfer:
        result.nTransferCents += nCents;
        ++result.nTransferRows;
        break;
    }
}

// A row's texts and amount from the columns of its table (TableInfo's, from column 1).
void SetTexts(CRecordSearch::SRow& row, const QSqlQuery& q) {
    if (row.eKind == CRecordSearch::ERowKind::Transfer) {
        row.strBank = q.value(2).toString();
        row.strToBank = q.value(3).toString();
        row.dAmount = q.value(4).toDouble();
    } else {
        row.strSort = q.value(2).toString();
        row.strNote = q.value(3).toString();
        row.dAmount = q.value(4).toDouble();
        row.strBank = q.value(5).toString();
    }
    row.bRead = true;
}

void FindPlain(CRecordSearch::SResult& result, const QString& strUser,
               const CRecordSearch::SQuery& query, const QStringList& words,
               const QString& strConnection) {
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    for (const STableInfo& t : TableInfo) {
        if (!Wanted(query.eKinds, t.eKind))
            continue;
        QVariantList values;
        const QString strSql = PlainSql(t, query, d, strUser, values);
        QSqlQuery q = CDatabase::Exec(strSql, values, strConnection);
        const bool bTransfer = t.eKind == CRecordSearch::ERowKind::Transfer;
        while (q.next()) {
            CRecordSearch::SRow row;
            row.day = CStoredDate::Day(q.value(1));
            if (!row.day.isValid() || (query.from.isValid() && row.day < query.from) ||
                (query.to.isValid() && row.day > query.to))
                continue;
            if (!words.isEmpty()) {
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
            SetTexts(row, q);
            row.nCents = CMoney::ToCents(row.dAmount);
            Count(result, t.eKind, row.nCents);
            result.rows.push_back(std::move(row));
        }
    }
}

void FindKept(CRecordSearch::SResult& result, const QString& strUser,
              const CRecordSearch::SQuery& query, const QStringList& words,
              const QString& strConnection) {
    QVariantList values;
    const QString strSql = KeptSql(query, words, CDatabase::Dialect(strConnection),
                                   CSearchText::HasPieces(strConnection), strUser, values);
    QSqlQuery q = CDatabase::Exec(strSql, values, strConnection);
    q.setForwardOnly(true);
    // Keys first, small and sorted as the list shows them; the rows are made once.
    struct SKey {
        int nDay;
        int nKind;
        qint64 nId;
        std::int64_t nCents;
    };
    std::vector<SKey> keys;
    while (q.next()) {
        const qint64 nRow = q.value(0).toLongLong();
        if (nRow % 4 <= 2)
            keys.push_back({q.value(1).toInt(), int(nRow % 4), nRow / 4, q.value(2).toLongLong()});
    }
    std::sort(keys.begin(), keys.end(), [](const SKey& a, const SKey& b) {
        return std::tie(a.nDay, a.nKind, a.nId) < std::tie(b.nDay, b.nKind, b.nId);
    });
    static const CRecordSearch::ERowKind Kinds[] = {CRecordSearch::ERowKind::Income,
                                                    CRecordSearch::ERowKind::Outlay,
                                                    CRecordSearch::ERowKind::Transfer};
    result.rows.resize(qsizetype(keys.size()));
    int nDay = 0;
    QDate day;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const SKey& key = keys[i];
        if (key.nDay != nDay) {
            nDay = key.nDay;
            day = QDate(nDay / 10000, nDay / 100 % 100, nDay % 100);
        }
        CRecordSearch::SRow& row = result.rows[qsizetype(i)];
        row.eKind = Kinds[key.nKind];
        row.nId = key.nId;
        row.day = day;
        row.nCents = key.nCents;
        Count(result, row.eKind, row.nCents);
    }
}

} // namespace

QStringList CRecordSearch::Words(const QString& strTyped) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return CSearchSchema::Fold(strTyped).split(blanks, Qt::SkipEmptyParts);
}

CRecordSearch::SResult CRecordSearch::Find(const QString& strUser, const SQuery& query,
                                           EMethod eMethod, int nRead,
                                           const QString& strConnection) {
    const QStringList words = Words(query.strWords);
    SResult result;
    if (query.from.isValid() && query.to.isValid() && query.to < query.from)
        return result;
    if (eMethod == EMethod::Kept && CSearchText::IsReady(strConnection)) {
        FindKept(result, strUser, query, words, strConnection);
    } else {
        FindPlain(result, strUser, query, words, strConnection);
        std::sort(result.rows.begin(), result.rows.end(), [](const SRow& a, const SRow& b) {
            if (a.day != b.day)
                return a.day < b.day;
            if (a.eKind != b.eKind)
                return int(a.eKind) < int(b.eKind);
            return a.nId < b.nId;
        });
    }
    Read(result, 0, nRead < 0 ? int(result.rows.size()) : nRead, strConnection);
    return result;
}

void CRecordSearch::Read(SResult& result, int nFrom, int nCount, const QString& strConnection) {
    const int nEnd = int(std::min<qsizetype>(result.rows.size(), qsizetype(nFrom) + nCount));
    // By kind, some hundred keys to a statement.
    constexpr int Batch = 200;
    for (const STableInfo& t : TableInfo) {
        QVector<int> wanted;
        for (int i = std::max(nFrom, 0); i < nEnd; ++i)
            if (result.rows[i].eKind == t.eKind && !result.rows[i].bRead)
                wanted << i;
        for (int nStart = 0; nStart < wanted.size(); nStart += Batch) {
            const int nStop = std::min<int>(int(wanted.size()), nStart + Batch);
            QHash<qint64, int> byId;
            QVariantList values;
            QStringList marks;
            for (int k = nStart; k < nStop; ++k) {
                SRow& row = result.rows[wanted[k]];
                byId.insert(row.nId, wanted[k]);
                values << row.nId;
                marks << QStringLiteral("?");
                row.bRead = true; // removed meanwhile: its day and amount, no texts
                row.dAmount = CMoney::FromCents(row.nCents);
            }
            QSqlQuery q =
                CDatabase::Exec(QStringLiteral("SELECT %1 FROM \"%2\" r WHERE r.\"编号\" IN (%3)")
                                    .arg(t.strColumns, t.strTable, marks.join(QLatin1Char(','))),
                                values, strConnection);
            while (q.next()) {
                const auto it = byId.constFind(q.value(0).toLongLong());
                if (it != byId.constEnd())
                    SetTexts(result.rows[*it], q);
            }
        }
    }
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

CTextTable CRecordSearch::Table(const SResult& result, int nFrom, int nCount) {
    CTextTable table(7);
    const int nEnd = nCount < 0
                         ? int(result.rows.size())
                         : int(std::min<qsizetype>(result.rows.size(), qsizetype(nFrom) + nCount));
    table.Reserve(std::max(0, nEnd - nFrom));
    for (int i = std::max(nFrom, 0); i < nEnd; ++i) {
        const SRow& row = result.rows[i];
        const QString strBank = row.eKind == ERowKind::Transfer
                                    ? row.strBank + QStringLiteral(" → ") + row.strToBank
                                    : row.strBank;
        table.AppendRow({QString(), CReportQuery::FormatDate(row.day), KindText(row.eKind),
                         row.strSort, row.strNote, CMoney::FormatYuan(row.dAmount), strBank});
    }
    table.Squeeze();
    return table;
}
