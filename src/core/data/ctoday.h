#pragma once

#include <QDate>

// "Today" as the program sees it: the calendars and a new user's first day read it.
// Tests pin it with Set() so their dates do not depend on the day they run.
class CToday {
public:
    static QDate Get();
    static void Set(const QDate& date); // an invalid date goes back to the real clock
};
