#pragma once

#include "cpreviewrows.h"
#include "data/cdatabase.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>

// A keyword found in a row's counterpart or goods gives the category of its records.
struct SImportRule {
    QString strKeyword;
    ERecordKind eKind = ERecordKind::Outlay;
    QString strSort;
    bool operator==(const SImportRule& o) const {
        return strKeyword == o.strKeyword && eKind == o.eKind && strSort == o.strSort;
    }
};

// From a read statement to rows of the book: the preview (categories from the rules,
// duplicates of earlier imports and of records already in the book unticked) and the
// import of the ticked rows in one transaction.
class CImporter {
public:
    // Called now and then with the rows done; returning false cancels (nothing written).
    using FProgress = std::function<bool(int nDone, int nTotal)>;

    struct SResult {
        bool bDone = false; // false: cancelled, nothing written
        int nIncome = 0;
        int nOutlay = 0;
        int nTransfers = 0;
        QVector<QPair<QString, double>> balances; // every account of the user afterwards
    };

    // nSessionUser: the UserID the session logged in to; the writes refuse to run
    // (CSessionGone) once that user row is gone. 0: no session to check (tools and tests).
    explicit CImporter(const QString& strUser, qint64 nSessionUser = 0,
                       const QString& strConnection = CDatabase::DefaultConnection);

    QStringList Accounts() const; // throws CDBException

    // The user's rules; a user without any gets the default ones. Throws CDBException.
    QVector<SImportRule> Rules() const;
    void SaveRules(const QVector<SImportRule>& rules);
    static QVector<SImportRule> DefaultRules();

    // The column mapping remembered for a CSV layout. Throws CDBException.
    bool LoadMapping(const QString& strLayout, SColumnMapping& mapping) const;
    void SaveMapping(const QString& strLayout, const SColumnMapping& mapping);

    // Builds the preview. strAccount is the account for rows whose file names none of the
    // user's accounts. Returns false when cancelled. Throws CDBException.
    bool Preview(const SStatement& statement, const QString& strAccount,
                 const QVector<SImportRule>& rules, CPreviewRows& rows,
                 const FProgress& progress = {}) const;
    // The same, taking the statement's rows apart instead of copying them (a big file is
    // then not held twice); the statement is left without rows.
    bool Preview(SStatement&& statement, const QString& strAccount,
                 const QVector<SImportRule>& rules, CPreviewRows& rows,
                 const FProgress& progress = {}) const;
    // Guesses the categories again, except those the user chose by hand.
    // The rows keep the categories their preview offered (CPreviewRows::Sorts).
    static void ApplyRules(CPreviewRows& rows, const QVector<SImportRule>& rules);
    static QString GuessSort(const SStatementRow& row, const QVector<SImportRule>& rules,
                             const SImportSorts& sorts);
    // The user's categories offered for new records, of both kinds. Throws CDBException.
    SImportSorts Sorts() const;
    static QString NoteOf(const SStatementRow& row);
    static QString NoteOf(const QString& strCounterpart, const QString& strGoods);
    // Over-long texts are cut to what a column holds, counting characters as the record sets do.
    static QString Fit(const QString& str);
    // The book's category for a payment app's own one (支付宝 交易分类, 微信 交易类型), ""
    // when the built-in table has none.
    static QString AppSort(const QString& strAppCategory, ERecordKind eKind,
                           const SImportSorts& sorts);
    // A row whose transfer account is missing from the book: strAccount of the book makes
    // it a transfer, "" an outlay or income again (category from the rules).
    static bool SetTransferAccount(SPreviewRow& row, const QString& strAccount,
                                   const QVector<SImportRule>& rules, const SImportSorts& sorts);
    // "以后同样处理": a rule giving the row's counterpart (or goods) the row's category,
    // put first so it wins over older ones with the same keyword.
    static SImportRule RuleFor(const SPreviewRow& row);
    static void AddRule(QVector<SImportRule>& rules, const SImportRule& rule);

    // What the ticked rows move, in whole cents, and how many rows are greyed for each
    // reason (short names, in a fixed order, only those with rows).
    struct STotals {
        int nRows = 0;
        int nTicked = 0;
        std::int64_t nIncome = 0;
        std::int64_t nOutlay = 0;
        std::int64_t Net() const { return nIncome - nOutlay; }
        QVector<QPair<QString, int>> greyed;
    };
    static STotals Totals(const CPreviewRows& rows);

    // Writes the ticked rows, all or nothing: records (opening their days as the new-day
    // dialogs do), transfers, their external ids and the balances. Throws CDBException.
    SResult Import(const CPreviewRows& rows, const FProgress& progress = {});

private:
    int UserId() const; // throws CDBException when the user is not there
    bool PreviewRows(const SStatement& st, SStatement* pConsume, const QString& strAccount,
                     const QVector<SImportRule>& rules, CPreviewRows& rows,
                     const FProgress& progress) const;

    QString m_strUser;
    qint64 m_nSessionUser = 0;
    QString m_strConnection;
};
