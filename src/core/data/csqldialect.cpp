#include "csqldialect.h"

QString CSqlDialect::AutoKey() const {
    return IsSQLite() ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                      : QStringLiteral("SERIAL PRIMARY KEY");
}

QString CSqlDialect::TextType() const {
    return QStringLiteral("VARCHAR(255)");
}

QString CSqlDialect::DoubleType() const {
    return IsSQLite() ? QStringLiteral("REAL") : QStringLiteral("DOUBLE PRECISION");
}

QString CSqlDialect::DateType() const {
    return IsSQLite() ? QStringLiteral("DATETIME") : QStringLiteral("TIMESTAMP");
}

QString CSqlDialect::BoolType() const {
    return QStringLiteral("BOOLEAN");
}

QString CSqlDialect::FalseLiteral() const {
    return IsSQLite() ? QStringLiteral("0") : QStringLiteral("FALSE");
}

QString CSqlDialect::RecordIndexColumns() const {
    return IsSQLite() ? QStringLiteral("\"UserName\", \"Date\", \"Amount\", \"Sort\", \"Bank\"")
                      : QStringLiteral("\"UserName\", \"Date\", \"Amount\"");
}

QString CSqlDialect::BeginSql() const {
    return IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

QString CSqlDialect::LockSql(bool bShared) const {
    if (IsSQLite())
        return QString();
    return bShared ? QStringLiteral(" FOR SHARE") : QStringLiteral(" FOR UPDATE");
}

QVariant CSqlDialect::BindDate(const QDate& date) const {
    return BindDateTime(QDateTime(date, QTime(0, 0)));
}

QVariant CSqlDialect::BindDateTime(const QDateTime& dt) const {
    if (!dt.isValid())
        return QVariant(QMetaType(IsSQLite() ? QMetaType::QString : QMetaType::QDateTime));
    if (IsSQLite())
        return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return dt;
}

QDateTime CSqlDialect::ReadDateTime(const QVariant& v) const {
    if (v.isNull())
        return QDateTime();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    const QString str = v.toString();
    QDateTime dt = QDateTime::fromString(str, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!dt.isValid())
        dt = QDateTime::fromString(str, Qt::ISODate);
    if (!dt.isValid())
        dt = QDateTime(QDate::fromString(str.left(10), Qt::ISODate), QTime(0, 0));
    return dt;
}

QVariant CSqlDialect::BindDay(const QDate& date) const {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString CSqlDialect::YearExpr(const QString& strCol) const {
    return IsSQLite() ? QStringLiteral("CAST(substr(%1,1,4) AS INTEGER)").arg(strCol)
                      : QStringLiteral("CAST(EXTRACT(YEAR FROM %1) AS INTEGER)").arg(strCol);
}

QString CSqlDialect::MonthExpr(const QString& strCol) const {
    return IsSQLite() ? QStringLiteral("CAST(substr(%1,6,2) AS INTEGER)").arg(strCol)
                      : QStringLiteral("CAST(EXTRACT(MONTH FROM %1) AS INTEGER)").arg(strCol);
}

QString CSqlDialect::DayExpr(const QString& strCol) const {
    return IsSQLite() ? QStringLiteral("CAST(substr(%1,9,2) AS INTEGER)").arg(strCol)
                      : QStringLiteral("CAST(EXTRACT(DAY FROM %1) AS INTEGER)").arg(strCol);
}

QString CSqlDialect::DayKeyExpr(const QString& strCol) const {
    return IsSQLite() ? QStringLiteral("substr(%1,1,10)").arg(strCol)
                      : QStringLiteral("substr(CAST(%1 AS TEXT), 1, 10)").arg(strCol);
}
