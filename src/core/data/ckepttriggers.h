#pragma once

#include <QString>
#include <QStringList>

// The triggers that keep CKeptSchema's totals, and the functions PostgreSQL's triggers call:
// one source file of SQL text per database (ckepttriggers_sqlite.cpp,
// ckepttriggers_postgres.cpp). They are made after the first build of the totals, in the
// order given; the record triggers keep "DayTotals" and "MonthSortTotals", the triggers on
// those keep "MonthTotals" and "SortTotals", and in an SQLite book the triggers on
// "MonthTotals" keep "YearTotals".
class CKeptTriggers {
public:
    // Part of every trigger's name: when the way totals are kept changes, the number changes,
    // and a book opened by this version drops the old triggers and builds its totals again.
    // Each database has its own number (an SQLite book also keeps its years).
    static QString SqlitePrefix() { return QStringLiteral("kept_totals_6_"); }
    static QString PostgresPrefix() { return QStringLiteral("kept_totals_5_"); }
    // The SQLite triggers of the version before, which kept everything but the years.
    static QString PreviousSqlitePrefix() { return QStringLiteral("kept_totals_5_"); }
    static constexpr int PreviousSqliteCount = 16;
    // Every version's triggers start with this, so older ones can be found and dropped.
    static QString AnyPrefix() { return QStringLiteral("kept_totals_"); }

    static QStringList Sqlite();
    // PostgreSQL: the functions (made before the build: nothing calls them until the triggers
    // exist), then the triggers.
    static QStringList PostgresFunctions();
    static QStringList Postgres();
    // PostgreSQL: the tables that carry the triggers, as regclass values for a query.
    static QString PostgresTriggerTables();
};
