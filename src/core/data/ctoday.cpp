#include "ctoday.h"

namespace {
QDate& Pinned() {
    static QDate s_date;
    return s_date;
}
} // namespace

QDate CToday::Get() {
    return Pinned().isValid() ? Pinned() : QDate::currentDate();
}

void CToday::Set(const QDate& date) {
    Pinned() = date;
}
