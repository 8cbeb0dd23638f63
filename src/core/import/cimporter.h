#pragma once

#include "cstatement.h"
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

// One row of the import preview: what would be written, and whether it is ticked.
struct SPreviewRow {
    enum class EState { New, NotMoney, Duplicate };

    SStatementRow src;
    QString strSort;       // category (income / outlay rows)
    QString strNote;       // counterpart and goods, as stored
    QString strAccount;    // the account moved; a transfer's source
    QString strTransferTo; // a transfer's destination
    QString strExtKey;     // what marks the row as imported
    EState eState = EState::New;
    QString strReason; // why a row is greyed
    bool bTicked = true;
    bool bSortByHand = false; // the user chose the category; rules leave it alone
    bool bKeyKnown = false;   // its external id is stored already
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
                 const QVector<SImportRule>& rules, QVector<SPreviewRow>& rows,
                 const FProgress& progress = {}) const;
    // Guesses the categories again, except those the user chose by hand.
    static void ApplyRules(QVector<SPreviewRow>& rows, const QVector<SImportRule>& rules);
    static QString GuessSort(const SStatementRow& row, const QVector<SImportRule>& rules);
    static QString NoteOf(const SStatementRow& row);

    // Writes the ticked rows, all or nothing: records (opening their days as the new-day
    // dialogs do), transfers, their external ids and the balances. Throws CDBException.
    SResult Import(const QVector<SPreviewRow>& rows, const FProgress& progress = {});

private:
    int UserId() const; // throws CDBException when the user is not there

    QString m_strUser;
    qint64 m_nSessionUser = 0;
    QString m_strConnection;
};
