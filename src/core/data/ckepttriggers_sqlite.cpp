// SQLite's triggers keeping the totals: four per record table, four per table summed again.
#include "ckeptschema.h"
#include "ckepttriggers.h"

#include <QPair>
#include <initializer_list>
#include <tuple>

namespace {

// ${Name} in the text below is filled in by Fill(); everything else is SQL as SQLite reads it.

// Trigger bodies are compiled into every statement that fires them, so they are kept short:
// each value of the row is computed once, in ${NewValues} / ${OldValues}, and rows whose
// counts reach zero stay (readers skip them).
const char* const kValues = R"sql((SELECT ${Day} AS k, ${Cents} AS c,
CASE WHEN COALESCE(${Row}."Bank", '') <> '' THEN 1 ELSE 0 END AS b))sql";

// A row that keeps its user, date and category: its cents and account flag as differences.
const char* const kDiff = R"sql((SELECT ${Day} AS k, ${NewCents} - ${OldCents} AS c,
CASE WHEN COALESCE(NEW."Bank", '') <> '' THEN 1 ELSE 0 END -
CASE WHEN COALESCE(OLD."Bank", '') <> '' THEN 1 ELSE 0 END AS b))sql";

const char* const kAdd = R"sql(
INSERT INTO "DayTotals" ("UserName", "Day", "${Side}Cents", "${Side}Rows", "${Side}BankRows")
  SELECT NEW."UserName", k, c, 1, b FROM ${NewValues}
  WHERE k IS NOT NULL AND NEW."UserName" IS NOT NULL
  ON CONFLICT ("UserName", "Day") DO UPDATE SET
    "${Side}Cents" = "${Side}Cents" + excluded."${Side}Cents", "${Side}Rows" = "${Side}Rows" + 1,
    "${Side}BankRows" = "${Side}BankRows" + excluded."${Side}BankRows";
INSERT INTO "MonthSortTotals" ("UserName", "Kind", "Month", "Sort", "Cents", "Rows")
  SELECT NEW."UserName", ${Kind}, k / 100, COALESCE(NEW."Sort", ''), c, 1 FROM ${NewValues}
  WHERE k IS NOT NULL AND NEW."UserName" IS NOT NULL
  ON CONFLICT ("UserName", "Kind", "Month", "Sort") DO UPDATE SET
    "Cents" = "Cents" + excluded."Cents", "Rows" = "Rows" + 1;
)sql";

const char* const kTakeAway = R"sql(
UPDATE "DayTotals" SET ("${Side}Cents", "${Side}Rows", "${Side}BankRows") =
    (SELECT "${Side}Cents" - c, "${Side}Rows" - 1, "${Side}BankRows" - b FROM ${OldValues})
  WHERE "UserName" = OLD."UserName" AND "Day" = (SELECT k FROM ${OldValues});
UPDATE "MonthSortTotals" SET ("Cents", "Rows") = (SELECT "Cents" - c, "Rows" - 1 FROM ${OldValues})
  WHERE "UserName" = OLD."UserName" AND "Kind" = ${Kind}
    AND "Month" = (SELECT k / 100 FROM ${OldValues}) AND "Sort" = COALESCE(OLD."Sort", '');
)sql";

// An amount or account corrected: only the cents and the account count move, by the
// difference, on the day and month-category rows the row is in.
const char* const kChange = R"sql(
UPDATE "DayTotals" SET ("${Side}Cents", "${Side}BankRows") =
    (SELECT "${Side}Cents" + c, "${Side}BankRows" + b FROM ${Diff})
  WHERE "UserName" = NEW."UserName" AND "Day" = (SELECT k FROM ${Diff});
UPDATE "MonthSortTotals" SET "Cents" = "Cents" + (SELECT c FROM ${Diff})
  WHERE "UserName" = NEW."UserName" AND "Kind" = ${Kind}
    AND "Month" = (SELECT k / 100 FROM ${Diff}) AND "Sort" = COALESCE(NEW."Sort", '');
)sql";

// The stored values, not only their meaning, decide whether the key stayed: the same key for
// certain. A note changing moves no total, hence the column list.
const char* const kRecordTriggers[] = {
    R"sql(
CREATE TRIGGER "${Prefix}${Table}_ins" AFTER INSERT ON "${Table}" BEGIN ${Add} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Table}_del" AFTER DELETE ON "${Table}" BEGIN ${TakeAway} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Table}_upd"
  AFTER UPDATE OF "UserName", "Date", "Sort", "Amount", "Bank" ON "${Table}"
  WHEN OLD."UserName" IS NEW."UserName" AND OLD."Date" IS NEW."Date" AND OLD."Sort" IS NEW."Sort"
BEGIN ${Change} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Table}_move"
  AFTER UPDATE OF "UserName", "Date", "Sort", "Amount", "Bank" ON "${Table}"
  WHEN NOT (OLD."UserName" IS NEW."UserName" AND OLD."Date" IS NEW."Date"
    AND OLD."Sort" IS NEW."Sort")
BEGIN ${TakeAway} ${Add} END
)sql"};

// ---- the sums kept from other kept tables: a day row gives its month its sums and a day
// for each table it has rows of, a month row gives its year its sums (days included); a
// month's category row gives the category its sums over every date. The update triggers that
// keep the key are what the record triggers make; the moving ones are for anything else that
// re-keys a row.

// A row of ${Source} (key ${From}) in the sums of ${Sums} (key ${Key}, ${From} / 100); the
// days a row counts for are ${NewInDays} … ${OldOutDays}.
const char* const kSumsAdd = R"sql(
INSERT INTO "${Sums}" ("UserName", "${Key}", "InCents", "InRows", "InBankRows", "InDays",
    "OutCents", "OutRows", "OutBankRows", "OutDays")
  VALUES (NEW."UserName", NEW."${From}" / 100, NEW."InCents", NEW."InRows", NEW."InBankRows",
    ${NewInDays}, NEW."OutCents", NEW."OutRows", NEW."OutBankRows", ${NewOutDays})
  ON CONFLICT ("UserName", "${Key}") DO UPDATE SET
    "InCents" = "${Sums}"."InCents" + excluded."InCents",
    "InRows" = "${Sums}"."InRows" + excluded."InRows",
    "InBankRows" = "${Sums}"."InBankRows" + excluded."InBankRows",
    "InDays" = "${Sums}"."InDays" + excluded."InDays",
    "OutCents" = "${Sums}"."OutCents" + excluded."OutCents",
    "OutRows" = "${Sums}"."OutRows" + excluded."OutRows",
    "OutBankRows" = "${Sums}"."OutBankRows" + excluded."OutBankRows",
    "OutDays" = "${Sums}"."OutDays" + excluded."OutDays";
)sql";

const char* const kSumsTakeAway = R"sql(
UPDATE "${Sums}" SET "InCents" = "InCents" - OLD."InCents",
    "InRows" = "InRows" - OLD."InRows", "InBankRows" = "InBankRows" - OLD."InBankRows",
    "InDays" = "InDays" - ${OldInDays},
    "OutCents" = "OutCents" - OLD."OutCents", "OutRows" = "OutRows" - OLD."OutRows",
    "OutBankRows" = "OutBankRows" - OLD."OutBankRows",
    "OutDays" = "OutDays" - ${OldOutDays}
  WHERE "UserName" = OLD."UserName" AND "${Key}" = OLD."${From}" / 100;
)sql";

const char* const kSumsTriggers[] = {
    R"sql(
CREATE TRIGGER "${Prefix}${Source}_ins" AFTER INSERT ON "${Source}" BEGIN ${SumsAdd} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Source}_del" AFTER DELETE ON "${Source}" BEGIN ${SumsTakeAway} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Source}_upd" AFTER UPDATE ON "${Source}"
  WHEN OLD."UserName" = NEW."UserName" AND OLD."${From}" / 100 = NEW."${From}" / 100
BEGIN
UPDATE "${Sums}" SET "InCents" = "InCents" + NEW."InCents" - OLD."InCents",
    "InRows" = "InRows" + NEW."InRows" - OLD."InRows",
    "InBankRows" = "InBankRows" + NEW."InBankRows" - OLD."InBankRows",
    "InDays" = "InDays" + ${NewInDays}
      - ${OldInDays},
    "OutCents" = "OutCents" + NEW."OutCents" - OLD."OutCents",
    "OutRows" = "OutRows" + NEW."OutRows" - OLD."OutRows",
    "OutBankRows" = "OutBankRows" + NEW."OutBankRows" - OLD."OutBankRows",
    "OutDays" = "OutDays" + ${NewOutDays}
      - ${OldOutDays}
  WHERE "UserName" = NEW."UserName" AND "${Key}" = NEW."${From}" / 100;
END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}${Source}_move" AFTER UPDATE ON "${Source}"
  WHEN NOT (OLD."UserName" = NEW."UserName" AND OLD."${From}" / 100 = NEW."${From}" / 100)
BEGIN ${SumsTakeAway} ${SumsAdd} END
)sql"};

const char* const kSortAdd = R"sql(
INSERT INTO "SortTotals" ("UserName", "Kind", "Sort", "Cents", "Rows")
  VALUES (NEW."UserName", NEW."Kind", NEW."Sort", NEW."Cents", NEW."Rows")
  ON CONFLICT ("UserName", "Kind", "Sort") DO UPDATE SET
    "Cents" = "SortTotals"."Cents" + excluded."Cents",
    "Rows" = "SortTotals"."Rows" + excluded."Rows";
)sql";

const char* const kSortTakeAway = R"sql(
UPDATE "SortTotals" SET "Cents" = "Cents" - OLD."Cents", "Rows" = "Rows" - OLD."Rows"
  WHERE "UserName" = OLD."UserName" AND "Kind" = OLD."Kind" AND "Sort" = OLD."Sort";
)sql";

const char* const kSortTriggers[] = {
    R"sql(
CREATE TRIGGER "${Prefix}MonthSortTotals_ins" AFTER INSERT ON "MonthSortTotals"
BEGIN ${SortAdd} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}MonthSortTotals_del" AFTER DELETE ON "MonthSortTotals"
BEGIN ${SortTakeAway} END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}MonthSortTotals_upd" AFTER UPDATE ON "MonthSortTotals"
  WHEN OLD."UserName" = NEW."UserName" AND OLD."Kind" = NEW."Kind" AND OLD."Sort" = NEW."Sort"
BEGIN
UPDATE "SortTotals" SET "Cents" = "Cents" + NEW."Cents" - OLD."Cents",
    "Rows" = "Rows" + NEW."Rows" - OLD."Rows"
  WHERE "UserName" = NEW."UserName" AND "Kind" = NEW."Kind" AND "Sort" = NEW."Sort";
END
)sql",
    R"sql(
CREATE TRIGGER "${Prefix}MonthSortTotals_move" AFTER UPDATE ON "MonthSortTotals"
  WHEN NOT (OLD."UserName" = NEW."UserName" AND OLD."Kind" = NEW."Kind"
    AND OLD."Sort" = NEW."Sort")
BEGIN ${SortTakeAway} ${SortAdd} END
)sql"};

using SFill = QPair<const char*, QString>;

// The text with each ${Name} replaced, in the order given (a value may hold later names).
QString Fill(const char* szText, std::initializer_list<SFill> fills) {
    QString strText = QString::fromUtf8(szText).trimmed();
    for (const SFill& fill : fills)
        strText.replace(QStringLiteral("${%1}").arg(QLatin1String(fill.first)), fill.second);
    return strText;
}

QString Values(const QString& strRow) {
    const CSqlDialect d(CSqlDialect::SQLite);
    return Fill(kValues,
                {{"Day", CKeptSchema::DayKeySql(d, strRow + QStringLiteral(".\"Date\""))},
                 {"Cents", CKeptSchema::CentsSql(d, strRow + QStringLiteral(".\"Amount\""))},
                 {"Row", strRow}});
}

} // namespace

QStringList CKeptTriggers::Sqlite() {
    const CSqlDialect d(CSqlDialect::SQLite);
    const QString strDiff =
        Fill(kDiff, {{"Day", CKeptSchema::DayKeySql(d, QStringLiteral("NEW.\"Date\""))},
                     {"NewCents", CKeptSchema::CentsSql(d, QStringLiteral("NEW.\"Amount\""))},
                     {"OldCents", CKeptSchema::CentsSql(d, QStringLiteral("OLD.\"Amount\""))}});
    QStringList list;
    for (const auto& [szTable, szSide, szKind] :
         {std::tuple{"Income", "In", "0"}, std::tuple{"Outlay", "Out", "1"}})
        for (const char* szTrigger : kRecordTriggers)
            list << Fill(szTrigger, {{"Add", Fill(kAdd, {})},
                                     {"TakeAway", Fill(kTakeAway, {})},
                                     {"Change", Fill(kChange, {})},
                                     {"NewValues", Values(QStringLiteral("NEW"))},
                                     {"OldValues", Values(QStringLiteral("OLD"))},
                                     {"Diff", strDiff},
                                     {"Prefix", SqlitePrefix()},
                                     {"Table", QLatin1String(szTable)},
                                     {"Side", QLatin1String(szSide)},
                                     {"Kind", QLatin1String(szKind)}});
    // A day row counts for its month as a day of each table it has rows of; a month row
    // brings its days to its year.
    const auto dayOf = [](const char* szRow, const char* szSide) {
        return QStringLiteral("(CASE WHEN %1.\"%2Rows\" > 0 THEN 1 ELSE 0 END)")
            .arg(QLatin1String(szRow), QLatin1String(szSide));
    };
    const auto daysOf = [](const char* szRow, const char* szSide) {
        return QStringLiteral("%1.\"%2Days\"").arg(QLatin1String(szRow), QLatin1String(szSide));
    };
    for (const auto& [szSource, szFrom, szSums, szKey, days] :
         {std::tuple{"DayTotals", "Day", "MonthTotals", "Month", +dayOf},
          std::tuple{"MonthTotals", "Month", "YearTotals", "Year", +daysOf}})
        for (const char* szTrigger : kSumsTriggers)
            list << Fill(szTrigger, {{"SumsAdd", Fill(kSumsAdd, {})},
                                     {"SumsTakeAway", Fill(kSumsTakeAway, {})},
                                     {"NewInDays", days("NEW", "In")},
                                     {"NewOutDays", days("NEW", "Out")},
                                     {"OldInDays", days("OLD", "In")},
                                     {"OldOutDays", days("OLD", "Out")},
                                     {"Prefix", SqlitePrefix()},
                                     {"Source", QLatin1String(szSource)},
                                     {"From", QLatin1String(szFrom)},
                                     {"Sums", QLatin1String(szSums)},
                                     {"Key", QLatin1String(szKey)}});
    for (const char* szTrigger : kSortTriggers)
        list << Fill(szTrigger, {{"SortAdd", Fill(kSortAdd, {})},
                                 {"SortTakeAway", Fill(kSortTakeAway, {})},
                                 {"Prefix", SqlitePrefix()}});
    return list;
}
