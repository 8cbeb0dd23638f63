#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// Everything that differs between SQLite and PostgreSQL, in one place.
// Identifiers are always written in double quotes ("User", "编号", "Date"), which both accept.
class CSqlDialect {
public:
    enum EKind { SQLite, PostgreSQL };

    explicit CSqlDialect(EKind eKind = SQLite) : m_eKind(eKind) {}
    EKind Kind() const { return m_eKind; }
    bool IsSQLite() const { return m_eKind == SQLite; }

    // Column types of the schema.
    QString AutoKey() const;  // auto-number primary key
    QString TextType() const; // text of at most 255 characters
    QString DoubleType() const;
    QString DateType() const;
    QString BoolType() const;
    QString FalseLiteral() const;
    // Columns of the (UserName, Date) index of the record tables. SQLite also carries the
    // category and account; PostgreSQL keeps to what always fits its index-entry size limit.
    QString RecordIndexColumns() const;

    // Statement that opens a write transaction (SQLite takes the write lock at once,
    // so two copies of the program never deadlock on a lock upgrade).
    QString BeginSql() const;
    // Appended to a SELECT inside a write transaction: locks the rows read until the end of
    // the transaction (shared: others may lock them shared too, but not change them).
    // SQLite needs nothing, BEGIN IMMEDIATE already keeps every other writer out.
    QString LockSql(bool bShared = false) const;

    // The form in which the program writes a date: midnight of the day, on SQLite as the
    // text "yyyy-MM-dd hh:mm:ss", on PostgreSQL as a TIMESTAMP.
    QVariant BindDate(const QDate& date) const;
    QVariant BindDateTime(const QDateTime& dt) const;
    QDateTime ReadDateTime(const QVariant& v) const;
    // A day as the bound of a range: the plain text "yyyy-MM-dd" on both backends. Compared
    // with a stored text it places "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss" and
    // "yyyy-MM-ddThh:mm:ss" alike (see CStoredDate); PostgreSQL reads it as midnight when the
    // column is a timestamp.
    QVariant BindDay(const QDate& date) const;

    // SQL expressions over a date column (already quoted), for grouping and counting.
    QString YearExpr(const QString& strCol) const;
    QString MonthExpr(const QString& strCol) const;
    QString DayExpr(const QString& strCol) const;
    // The day of a stored value as the text "yyyy-MM-dd" (its first ten characters; on
    // PostgreSQL of its text form, so a text column works as a timestamp one does).
    QString DayKeyExpr(const QString& strCol) const;

private:
    EKind m_eKind;
};
