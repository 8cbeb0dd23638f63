// PostgreSQL's functions and triggers keeping the totals: one trigger function for both
// record tables, one for each table summed again.
#include "ckepttriggers.h"

namespace {

// In the order they are made: a function is made before the functions calling it.
const char* const kFunctions[] = {
    // The day key of each type a "Date" column may have; PostgreSQL picks by the column's type.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_day_key(v timestamp) RETURNS integer
LANGUAGE sql IMMUTABLE AS $f$
  SELECT CASE WHEN EXTRACT(YEAR FROM v) BETWEEN 1 AND 9999 THEN
    CAST(EXTRACT(YEAR FROM v) * 10000 + EXTRACT(MONTH FROM v) * 100 + EXTRACT(DAY FROM v)
      AS integer) END
$f$
)sql",
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_day_key(v date) RETURNS integer
LANGUAGE sql IMMUTABLE AS $f$
  SELECT CASE WHEN EXTRACT(YEAR FROM v) BETWEEN 1 AND 9999 THEN
    CAST(EXTRACT(YEAR FROM v) * 10000 + EXTRACT(MONTH FROM v) * 100 + EXTRACT(DAY FROM v)
      AS integer) END
$f$
)sql",
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_day_key(v timestamptz) RETURNS integer
LANGUAGE sql STABLE AS $f$
  SELECT ledgerkin_day_key(CAST(v AS timestamp))
$f$
)sql",
    // A text column (a book made by another program): only text beginning with a real day.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_day_key(v text) RETURNS integer
LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
  IF v IS NULL OR v !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}' OR substr(v, 1, 4) = '0000' THEN
    RETURN NULL;
  END IF;
  RETURN ledgerkin_day_key(make_date(substr(v, 1, 4)::int, substr(v, 6, 2)::int,
    substr(v, 9, 2)::int));
EXCEPTION WHEN others THEN RETURN NULL;
END
$f$
)sql",
    // Half away from zero, as CMoney::ToCents: whole part plus the sign when the rest is a half
    // or more (subtracting the whole part of a double is exact).
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_cents(v double precision) RETURNS bigint
LANGUAGE sql IMMUTABLE AS $f$
  SELECT CASE WHEN abs(COALESCE(v, 0) * 100) < 9.0e15 THEN
    CAST(trunc(COALESCE(v, 0) * 100) AS bigint) + CASE
      WHEN COALESCE(v, 0) * 100 - trunc(COALESCE(v, 0) * 100) >= 0.5 THEN 1
      WHEN COALESCE(v, 0) * 100 - trunc(COALESCE(v, 0) * 100) <= -0.5 THEN -1 ELSE 0 END
  ELSE 0 END
$f$
)sql",
    // Applies one row (nSign -1: taken away, +1: added) to both kept tables.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_kept_apply(nKind integer, nSign integer,
  u text, k integer, s text, c bigint, b integer) RETURNS void LANGUAGE plpgsql AS $f$
BEGIN
  IF u IS NULL OR k IS NULL THEN RETURN; END IF;
  s := COALESCE(s, '');
  IF nKind = 0 THEN
    IF nSign < 0 THEN
      UPDATE "DayTotals" SET "InCents" = "InCents" - c, "InRows" = "InRows" - 1,
        "InBankRows" = "InBankRows" - b WHERE "UserName" = u AND "Day" = k;
    ELSE
      INSERT INTO "DayTotals" ("UserName", "Day", "InCents", "InRows", "InBankRows")
      VALUES (u, k, c, 1, b) ON CONFLICT ("UserName", "Day") DO UPDATE SET
        "InCents" = "DayTotals"."InCents" + c, "InRows" = "DayTotals"."InRows" + 1,
        "InBankRows" = "DayTotals"."InBankRows" + b;
    END IF;
  END IF;
  IF nKind = 1 THEN
    IF nSign < 0 THEN
      UPDATE "DayTotals" SET "OutCents" = "OutCents" - c, "OutRows" = "OutRows" - 1,
        "OutBankRows" = "OutBankRows" - b WHERE "UserName" = u AND "Day" = k;
    ELSE
      INSERT INTO "DayTotals" ("UserName", "Day", "OutCents", "OutRows", "OutBankRows")
      VALUES (u, k, c, 1, b) ON CONFLICT ("UserName", "Day") DO UPDATE SET
        "OutCents" = "DayTotals"."OutCents" + c, "OutRows" = "DayTotals"."OutRows" + 1,
        "OutBankRows" = "DayTotals"."OutBankRows" + b;
    END IF;
  END IF;
  IF nSign < 0 THEN
    DELETE FROM "DayTotals" WHERE "UserName" = u AND "Day" = k
      AND "InRows" <= 0 AND "OutRows" <= 0;
    UPDATE "MonthSortTotals" SET "Cents" = "Cents" - c, "Rows" = "Rows" - 1
      WHERE "UserName" = u AND "Kind" = nKind AND "Month" = k / 100 AND "Sort" = s;
    DELETE FROM "MonthSortTotals" WHERE "UserName" = u AND "Kind" = nKind
      AND "Month" = k / 100 AND "Sort" = s AND "Rows" <= 0;
  ELSE
    INSERT INTO "MonthSortTotals" ("UserName", "Kind", "Month", "Sort", "Cents", "Rows")
      VALUES (u, nKind, k / 100, s, c, 1)
      ON CONFLICT ("UserName", "Kind", "Month", "Sort") DO UPDATE SET
      "Cents" = "MonthSortTotals"."Cents" + c, "Rows" = "MonthSortTotals"."Rows" + 1;
  END IF;
END
$f$
)sql",
    // The trigger function of both record tables (TG_ARGV[0]: 0 income, 1 outlay). The search
    // path of the book is fixed into it, so a writer with another search path (a tool naming
    // the schema in each statement) still reaches these tables.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_kept_row() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $f$
DECLARE nKind integer := TG_ARGV[0]::integer;
BEGIN
  IF TG_OP = 'TRUNCATE' THEN
    IF nKind = 0 THEN UPDATE "DayTotals" SET "InCents" = 0, "InRows" = 0,
      "InBankRows" = 0;
    ELSE UPDATE "DayTotals" SET "OutCents" = 0, "OutRows" = 0,
      "OutBankRows" = 0; END IF;
    DELETE FROM "DayTotals" WHERE "InRows" <= 0 AND "OutRows" <= 0;
    DELETE FROM "MonthSortTotals" WHERE "Kind" = nKind;
    RETURN NULL;
  END IF;
  IF TG_OP <> 'INSERT' THEN
    PERFORM ledgerkin_kept_apply(nKind, -1, OLD."UserName",
      (CASE WHEN OLD."Date" IS NULL THEN 0 ELSE ledgerkin_day_key(OLD."Date") END),
      OLD."Sort", ledgerkin_cents(OLD."Amount"),
      CASE WHEN COALESCE(OLD."Bank", '') <> '' THEN 1 ELSE 0 END);
  END IF;
  IF TG_OP <> 'DELETE' THEN
    PERFORM ledgerkin_kept_apply(nKind, 1, NEW."UserName",
      (CASE WHEN NEW."Date" IS NULL THEN 0 ELSE ledgerkin_day_key(NEW."Date") END),
      NEW."Sort", ledgerkin_cents(NEW."Amount"),
      CASE WHEN COALESCE(NEW."Bank", '') <> '' THEN 1 ELSE 0 END);
  END IF;
  RETURN NULL;
END
$f$
)sql",
    // A day row gives its month its sums, and a day for each table it has rows of. An update
    // keeping the month is what the record triggers make; anything else that re-keys a day row
    // moves it.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_kept_month() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $f$
BEGIN
  IF TG_OP = 'UPDATE' AND OLD."UserName" = NEW."UserName" AND OLD."Day" / 100 = NEW."Day" / 100 THEN
    UPDATE "MonthTotals" SET "InCents" = "InCents" + NEW."InCents" - OLD."InCents",
      "InRows" = "InRows" + NEW."InRows" - OLD."InRows",
      "InBankRows" = "InBankRows" + NEW."InBankRows" - OLD."InBankRows",
      "InDays" = "InDays" + (CASE WHEN NEW."InRows" > 0 THEN 1 ELSE 0 END)
        - (CASE WHEN OLD."InRows" > 0 THEN 1 ELSE 0 END),
      "OutCents" = "OutCents" + NEW."OutCents" - OLD."OutCents",
      "OutRows" = "OutRows" + NEW."OutRows" - OLD."OutRows",
      "OutBankRows" = "OutBankRows" + NEW."OutBankRows" - OLD."OutBankRows",
      "OutDays" = "OutDays" + (CASE WHEN NEW."OutRows" > 0 THEN 1 ELSE 0 END)
        - (CASE WHEN OLD."OutRows" > 0 THEN 1 ELSE 0 END)
      WHERE "UserName" = NEW."UserName" AND "Month" = NEW."Day" / 100;
  ELSE
    IF TG_OP <> 'INSERT' THEN
      UPDATE "MonthTotals" SET "InCents" = "InCents" - OLD."InCents",
        "InRows" = "InRows" - OLD."InRows", "InBankRows" = "InBankRows" - OLD."InBankRows",
        "InDays" = "InDays" - (CASE WHEN OLD."InRows" > 0 THEN 1 ELSE 0 END),
        "OutCents" = "OutCents" - OLD."OutCents", "OutRows" = "OutRows" - OLD."OutRows",
        "OutBankRows" = "OutBankRows" - OLD."OutBankRows",
        "OutDays" = "OutDays" - (CASE WHEN OLD."OutRows" > 0 THEN 1 ELSE 0 END)
        WHERE "UserName" = OLD."UserName" AND "Month" = OLD."Day" / 100;
    END IF;
    IF TG_OP <> 'DELETE' THEN
      INSERT INTO "MonthTotals" ("UserName", "Month", "InCents", "InRows", "InBankRows",
          "InDays", "OutCents", "OutRows", "OutBankRows", "OutDays")
        VALUES (NEW."UserName", NEW."Day" / 100, NEW."InCents", NEW."InRows", NEW."InBankRows",
          (CASE WHEN NEW."InRows" > 0 THEN 1 ELSE 0 END), NEW."OutCents", NEW."OutRows",
          NEW."OutBankRows", (CASE WHEN NEW."OutRows" > 0 THEN 1 ELSE 0 END))
        ON CONFLICT ("UserName", "Month") DO UPDATE SET
          "InCents" = "MonthTotals"."InCents" + excluded."InCents",
          "InRows" = "MonthTotals"."InRows" + excluded."InRows",
          "InBankRows" = "MonthTotals"."InBankRows" + excluded."InBankRows",
          "InDays" = "MonthTotals"."InDays" + excluded."InDays",
          "OutCents" = "MonthTotals"."OutCents" + excluded."OutCents",
          "OutRows" = "MonthTotals"."OutRows" + excluded."OutRows",
          "OutBankRows" = "MonthTotals"."OutBankRows" + excluded."OutBankRows",
          "OutDays" = "MonthTotals"."OutDays" + excluded."OutDays";
    END IF;
  END IF;
  IF TG_OP <> 'INSERT' THEN
    DELETE FROM "MonthTotals" WHERE "UserName" = OLD."UserName" AND "Month" = OLD."Day" / 100
      AND "InRows" <= 0 AND "OutRows" <= 0;
  END IF;
  RETURN NULL;
END
$f$
)sql",
    // A month's category row gives the category its sums over every date.
    R"sql(
CREATE OR REPLACE FUNCTION ledgerkin_kept_sort() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $f$
BEGIN
  IF TG_OP = 'UPDATE' AND OLD."UserName" = NEW."UserName" AND OLD."Kind" = NEW."Kind"
      AND OLD."Sort" = NEW."Sort" THEN
    UPDATE "SortTotals" SET "Cents" = "Cents" + NEW."Cents" - OLD."Cents",
      "Rows" = "Rows" + NEW."Rows" - OLD."Rows"
      WHERE "UserName" = NEW."UserName" AND "Kind" = NEW."Kind" AND "Sort" = NEW."Sort";
  ELSE
    IF TG_OP <> 'INSERT' THEN
      UPDATE "SortTotals" SET "Cents" = "Cents" - OLD."Cents", "Rows" = "Rows" - OLD."Rows"
        WHERE "UserName" = OLD."UserName" AND "Kind" = OLD."Kind" AND "Sort" = OLD."Sort";
    END IF;
    IF TG_OP <> 'DELETE' THEN
      INSERT INTO "SortTotals" ("UserName", "Kind", "Sort", "Cents", "Rows")
        VALUES (NEW."UserName", NEW."Kind", NEW."Sort", NEW."Cents", NEW."Rows")
        ON CONFLICT ("UserName", "Kind", "Sort") DO UPDATE SET
          "Cents" = "SortTotals"."Cents" + excluded."Cents",
          "Rows" = "SortTotals"."Rows" + excluded."Rows";
    END IF;
  END IF;
  IF TG_OP <> 'INSERT' THEN
    DELETE FROM "SortTotals" WHERE "UserName" = OLD."UserName" AND "Kind" = OLD."Kind"
      AND "Sort" = OLD."Sort" AND "Rows" <= 0;
  END IF;
  RETURN NULL;
END
$f$
)sql"};

// %1 is the trigger name prefix. A note changing fires no record trigger.
const char* const kTriggers[] = {
    R"sql(
CREATE TRIGGER "%1Income_row"
  AFTER INSERT OR DELETE OR UPDATE OF "UserName", "Date", "Sort", "Amount", "Bank" ON "Income"
  FOR EACH ROW EXECUTE FUNCTION ledgerkin_kept_row('0')
)sql",
    R"sql(
CREATE TRIGGER "%1Income_trunc" AFTER TRUNCATE ON "Income"
  FOR EACH STATEMENT EXECUTE FUNCTION ledgerkin_kept_row('0')
)sql",
    R"sql(
CREATE TRIGGER "%1Outlay_row"
  AFTER INSERT OR DELETE OR UPDATE OF "UserName", "Date", "Sort", "Amount", "Bank" ON "Outlay"
  FOR EACH ROW EXECUTE FUNCTION ledgerkin_kept_row('1')
)sql",
    R"sql(
CREATE TRIGGER "%1Outlay_trunc" AFTER TRUNCATE ON "Outlay"
  FOR EACH STATEMENT EXECUTE FUNCTION ledgerkin_kept_row('1')
)sql",
    R"sql(
CREATE TRIGGER "%1DayTotals_row" AFTER INSERT OR DELETE OR UPDATE ON "DayTotals"
  FOR EACH ROW EXECUTE FUNCTION ledgerkin_kept_month()
)sql",
    R"sql(
CREATE TRIGGER "%1MonthSortTotals_row" AFTER INSERT OR DELETE OR UPDATE ON "MonthSortTotals"
  FOR EACH ROW EXECUTE FUNCTION ledgerkin_kept_sort()
)sql"};

} // namespace

QStringList CKeptTriggers::PostgresFunctions() {
    QStringList list;
    for (const char* szSql : kFunctions)
        list << QString::fromUtf8(szSql).trimmed();
    return list;
}

QStringList CKeptTriggers::Postgres() {
    QStringList list;
    for (const char* szSql : kTriggers)
        list << QString::fromUtf8(szSql).trimmed().arg(PostgresPrefix());
    return list;
}

QString CKeptTriggers::PostgresTriggerTables() {
    return QStringLiteral("to_regclass('\"Income\"'), to_regclass('\"Outlay\"'), "
                          "to_regclass('\"DayTotals\"'), to_regclass('\"MonthSortTotals\"')");
}
