#pragma once

#include "cdatabase.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class CRecordset;
class QSqlQuery;

// Moves values between the members of a record set and a database row, one call per
// column in table order (the record set's DoFieldExchange).
class CFieldExchange {
public:
    enum EOperation { Load, Store, Reset, Names };

    void Long(const char* szColumn, int& value);
    void Text(const char* szColumn, QString& value);
    void Double(const char* szColumn, double& value);
    void Date(const char* szColumn, QDateTime& value);
    void Bool(const char* szColumn, bool& value);

private:
    friend class CRecordset;
    CFieldExchange(EOperation eOp, const CSqlDialect& dialect) : m_eOp(eOp), m_dialect(dialect) {}
    void Field(const char* szColumn, QVariant value, bool bKey);

    EOperation m_eOp;
    const CSqlDialect& m_dialect;
    const std::vector<QVariant>* m_pRow = nullptr; // Load: the row being read
    int m_nIndex = 0;
    QStringList m_columns;  // Store: every column but the key
    QVariantList m_values;  // Store: their values
    QString m_strKeyColumn; // the auto-number column (first in every table)
    QVariant m_key;         // its value
};

// A table's rows as a snapshot: Open() reads every row its filter selects, in its sort
// order; the cursor then moves over that snapshot. AddNew/Edit + Update and Delete write
// straight through to the database (inside any open CTransaction).
//
// Filters are fixed templates whose values are bound as parameters, never formatted into
// the SQL, so a value holding a quote selects exactly the rows whose column equals it.
class CRecordset {
public:
    enum class EFilter {
        None,     // every row of the table
        User,     // UserName = ?
        UserBank, // UserName = ? and Bank = ?      (Income, Outlay)
        UserCard, // UserName = ? and CardName = ?  (Bank)
        UserSort, // UserName = ? and Sort = ?      (Income, Outlay)
    };
    enum class ESort { None, Date };

    explicit CRecordset(const QString& strConnection = CDatabase::DefaultConnection);
    virtual ~CRecordset();
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    void SetFilter(EFilter eFilter, const QStringList& values = {});
    void SetSort(ESort eSort) { m_eSort = eSort; }

    void Open(); // throws CDBException
    void Close();
    bool IsOpen() const { return m_bOpen; }
    bool IsEOF() const;
    bool IsBOF() const;
    void MoveNext();
    void MovePrev();
    void MoveFirst();
    void MoveLast();
    int GetRecordCount() const { return int(m_rows.size()); }

    void AddNew();  // members reset to their defaults; Update() inserts
    void Edit();    // Update() writes the members to the current row
    void Update();  // throws CDBException; a text over 255 characters is refused
    void Delete();  // deletes the current row
    void Requery(); // reads the snapshot again

    // The statement Open() issues, with ? for each bound value (for tests and messages).
    QString GetSQL() const;

protected:
    virtual const char* GetDefaultSQL() const = 0; // the quoted table name
    virtual void DoFieldExchange(CFieldExchange& fx) = 0;

private:
    void LoadCurrent();
    QString WhereClause() const;

    QString m_strConnection;
    EFilter m_eFilter = EFilter::None;
    QStringList m_filterValues;
    ESort m_eSort = ESort::None;
    bool m_bOpen = false;
    enum class EMode { None, Add, Edit } m_eMode = EMode::None;
    std::vector<std::vector<QVariant>> m_rows;
    QStringList m_columns;
    int m_nPos = 0;
};
