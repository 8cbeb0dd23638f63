#include "cstatement.h"

#include "data/cdatabase.h"

#include <QStringList>

// "date=0;amount=-1;…;format=yyyy-MM-dd": kept with the file layout it belongs to.
QString SColumnMapping::ToText() const {
    return QStringLiteral("date=%1;amount=%2;in=%3;out=%4;note=%5;counterpart=%6;category=%7;"
                          "dir=%8;format=%9")
        .arg(nDate)
        .arg(nAmount)
        .arg(nIn)
        .arg(nOut)
        .arg(nNote)
        .arg(nCounterpart)
        .arg(nCategory)
        .arg(nDirection)
        .arg(strDateFormat);
}

SColumnMapping SColumnMapping::FromText(const QString& str) {
    SColumnMapping m;
    for (const QString& part : str.split(QLatin1Char(';'))) {
        const int nEq = part.indexOf(QLatin1Char('='));
        if (nEq < 0)
            continue;
        const QString key = part.left(nEq);
        const QString value = part.mid(nEq + 1);
        bool bOk = false;
        const int n = value.toInt(&bOk);
        if (key == QLatin1String("format"))
            m.strDateFormat = value;
        else if (!bOk)
            continue;
        else if (key == QLatin1String("date"))
            m.nDate = n;
        else if (key == QLatin1String("amount"))
            m.nAmount = n;
        else if (key == QLatin1String("in"))
            m.nIn = n;
        else if (key == QLatin1String("out"))
            m.nOut = n;
        else if (key == QLatin1String("note"))
            m.nNote = n;
        else if (key == QLatin1String("counterpart"))
            m.nCounterpart = n;
        else if (key == QLatin1String("category"))
            m.nCategory = n;
        else if (key == QLatin1String("dir"))
            m.nDirection = n;
    }
    return m;
}

QString FitText(const QString& str) {
    const QList<uint> ucs = str.toUcs4();
    if (ucs.size() <= CDatabase::MaxTextLength)
        return str;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(ucs.constData()),
                             CDatabase::MaxTextLength);
}

QString StatementNote(const QString& strCounterpart, const QString& strGoods) {
    QString s = strCounterpart;
    if (!strGoods.isEmpty() && strGoods != strCounterpart)
        s = s.isEmpty() ? strGoods : s + QLatin1Char(' ') + strGoods;
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    return FitText(s);
}
