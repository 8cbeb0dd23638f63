#pragma once

#include <QDate>

// What the navigation tree chose: the user's whole book, a year, a month or a day. The date
// is the first day of the year or month, the day itself, and null for the whole book.
struct CScope {
    enum ELevel { User = 0, Year = 1, Month = 2, Day = 3 };

    ELevel eLevel = User;
    QDate date;

    static CScope Whole() { return {User, QDate()}; }
    static CScope OfYear(int nYear) { return {Year, QDate(nYear, 1, 1)}; }
    static CScope OfMonth(int nYear, int nMonth) { return {Month, QDate(nYear, nMonth, 1)}; }
    static CScope OfDay(const QDate& day) { return {Day, day}; }

    bool operator==(const CScope& other) const {
        return eLevel == other.eLevel && date == other.date;
    }
};
