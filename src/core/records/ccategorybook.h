#pragma once

#include "data/cdatabase.h"
#include "records/crecordkind.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One user's categories of one kind: the names the lists offer, in the user's order, each
// with an optional short name for charts and a hidden flag (kept for old records, not offered
// for new ones). Kept in the program's own table "Category", keyed by the user row's UserID;
// a user without rows there has the built-in list (CCategories). A record's category stays the
// text in its "Sort", so renaming or merging rewrites that text in the user's records.
//
// Every list of categories the program shows reads Names() (offered for new records) or
// List() (hidden ones too). Each change is one transaction that locks the user row first, so
// two copies changing one user's list, or one renaming while another confirms a day, take
// turns. A change refused returns the reason for the user; "" when it was made. Database
// failures throw CDBException.
class CCategoryBook {
public:
    struct SCategory {
        QString strName;
        QString strShort; // "" when none
        bool bHidden = false;
        int nRecords = 0; // the user's records of this kind carrying the name (List() only)
    };

    CCategoryBook(ERecordKind eKind, const QString& strUser, qint64 nSessionUser = 0,
                  const QString& strConnection = CDatabase::DefaultConnection);

    ERecordKind Kind() const { return m_eKind; }

    // The user's categories in order, hidden ones included, with their record counts.
    QList<SCategory> List() const;
    // The names offered for a new record: not hidden, in order.
    QStringList Names() const;
    // Every name of the list, hidden ones included, in order.
    QStringList AllNames() const;
    // Texts the user's records of this kind carry that are not in the list (written by another
    // program, an older copy, or a copy that still offered a name since renamed), with their
    // record counts, ordered by text.
    QList<SCategory> Found() const;
    // Names renamed or merged away → the name their records go by now. A write of records
    // (confirming a day, an import) reads it inside its transaction, after the user row's
    // lock, so rows chosen from a list shown before another copy's rename follow the rename.
    QHash<QString, QString> Renamed() const;
    // The name a chart shows for a category: its short name, else the name itself.
    static QString Label(const SCategory& category);

    QString Add(const QString& strName);
    // Every record of the user and kind carrying strOld follows, as do the import's rules.
    QString Rename(const QString& strOld, const QString& strNew);
    // The records of strFrom (a name of the list or a found text) take the name strInto, which
    // must be in the list; strFrom leaves the list.
    QString Merge(const QString& strFrom, const QString& strInto);
    QString SetHidden(const QString& strName, bool bHidden);
    // Moves a name nSteps places up (negative) or down within the list.
    QString Move(const QString& strName, int nSteps);
    QString SetShort(const QString& strName, const QString& strShort);
    // Refused while a record uses the name.
    QString Remove(const QString& strName);

    // Parts above this one keep category names of their own (the import's rules). They hand a
    // function down that makes those names follow a rename or merge inside its transaction.
    using FFollow = void (*)(qint64 nUserId, ERecordKind eKind, const QString& strOld,
                             const QString& strNew, const QString& strConnection);
    static void AddFollower(FFollow pfnFollow);

    // Has every opening of a book create the table (the program calls it at start), and makes
    // sure of it on a book opened before. Throws CDBException.
    static void Install();
    static void Ready(const QString& strConnection);

private:
    struct SRow {
        qint64 nId = 0;
        SCategory category;
    };
    static const SRow* Find(const QList<SRow>& rows, const QString& strName);
    static QString Gone(const QString& strName);
    qint64 UserId() const;
    // Inside a write: locks the user row, checks the session and writes the built-in list
    // when the user has none yet. Returns the UserID.
    qint64 BeginChange() const;
    QList<SRow> Rows(qint64 nUserId) const;
    // The list without record counts.
    QList<SCategory> Listed() const;
    int RecordCount(const QString& strSort) const;
    void Redirect(qint64 nUserId, const QString& strOld, const QString& strNew) const;
    void Unredirect(qint64 nUserId, const QString& strName) const;
    void RewriteSort(qint64 nUserId, const QString& strOld, const QString& strNew) const;
    // "" when strName may be a name beside the others of the list (skipping the row nSkipId).
    QString CheckName(const QString& strName, const QList<SRow>& rows, qint64 nSkipId) const;

    ERecordKind m_eKind;
    QString m_strUser;
    qint64 m_nSessionUser;
    QString m_strConnection;
};
