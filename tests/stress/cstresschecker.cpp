#include "cstresschecker.h"

#include "cbookbuilder.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <cmath>

namespace {

QString Key(const QStringList& parts) {
    return parts.join(QLatin1Char('\t'));
}

// Removes everything the model expects of one user (the user was created or deleted anew).
bool OfUser(const QString& strKey, const QString& strUser) {
    return strKey.startsWith(strUser + QLatin1Char('\t'));
}

template <class TValue> void DropUser(QHash<QString, TValue>& keys, const QString& strUser) {
    for (auto it = keys.begin(); it != keys.end();)
        it = OfUser(it.key(), strUser) ? keys.erase(it) : std::next(it);
}

void DropUser(QSet<QString>& keys, const QString& strUser) {
    for (auto it = keys.begin(); it != keys.end();)
        it = OfUser(*it, strUser) ? keys.erase(it) : std::next(it);
}

} // namespace

CStressChecker::CStressChecker(const QString& strConnection) : m_strConnection(strConnection) {}

QStringList CStressChecker::Load() {
    QStringList problems;
    const QString strIntegrity = CBookBuilder::IntegrityProblem(m_strConnection);
    if (!strIntegrity.isEmpty())
        problems << QStringLiteral("integrity_check: ") + strIntegrity;
    problems << CBookBuilder::BalanceProblems(m_strConnection);
    problems << CBookBuilder::WholenessProblems(m_strConnection);

    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    m_days.clear();
    m_presentDays.clear();
    m_transfers.clear();
    m_users.clear();
    m_tags.clear();
    for (const char* szKind : {"I", "O"}) {
        const QString strKind = QLatin1String(szKind);
        const QString strTable =
            strKind == QLatin1String("I") ? QStringLiteral("Income") : QStringLiteral("Outlay");
        QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"UserName\", \"Date\", \"Bank\", "
                                                     "\"Note\", \"Amount\" FROM \"%1\"")
                                          .arg(strTable),
                                      {}, m_strConnection);
        while (q.next()) {
            const QString strUser = q.value(0).toString();
            const QString strDate = dialect.ReadDateTime(q.value(1)).date().toString(Qt::ISODate);
            m_presentDays.insert(Key({strUser, strKind, strDate}));
            const QString strBank = q.value(2).toString();
            if (!strBank.isEmpty())
                m_days[Key({strUser, strKind, strDate, strBank})].append(
                    {q.value(3).toString(), std::llround(q.value(4).toDouble() * 100.0)});
        }
    }

    // Every day of an account holds the complete rows of one confirmation.
    static const QRegularExpression s_note(QStringLiteral("^(.+)#(\\d+)/(\\d+)$"));
    for (auto it = m_days.cbegin(); it != m_days.cend(); ++it) {
        QSet<QString> tags;
        QSet<int> indexes;
        bool bBad = false;
        for (const auto& row : it.value()) {
            const QRegularExpressionMatch m = s_note.match(row.first);
            if (!m.hasMatch()) {
                bBad = true;
                continue;
            }
            tags.insert(m.captured(1));
            indexes.insert(m.captured(2).toInt());
            bBad = bBad || m.captured(3).toInt() != it.value().size();
        }
        m_tags.unite(tags);
        if (bBad || tags.size() != 1 || indexes.size() != it.value().size())
            problems << QStringLiteral("一天的记录不是同一次确认的全部记录：%1 有 %2 行，来自 %3")
                            .arg(QString(it.key()).replace(QLatin1Char('\t'), QLatin1Char(' ')))
                            .arg(it.value().size())
                            .arg(QStringList(tags.values()).join(QLatin1Char(',')));
    }

    QSqlQuery trs = CDatabase::Exec(QStringLiteral("SELECT \"UserName\", \"TrsDate\", \"TrsFrom\", "
                                                   "\"TrsIn\", \"TrsAmount\" FROM \"Trs\""),
                                    {}, m_strConnection);
    while (trs.next())
        ++m_transfers[Key({trs.value(0).toString(),
                           dialect.ReadDateTime(trs.value(1)).date().toString(Qt::ISODate),
                           trs.value(2).toString(), trs.value(3).toString(),
                           QString::number(std::llround(trs.value(4).toDouble() * 100.0))})];
    QSqlQuery users =
        CDatabase::Exec(QStringLiteral("SELECT \"UserName\" FROM \"User\""), {}, m_strConnection);
    while (users.next())
        m_users.insert(users.value(0).toString());
    return problems;
}

void CStressChecker::Apply(SModel& model, const CStressLog::SEntry& e, bool bApplied) const {
    const QStringList& op = e.op;
    const QString& strOp = op.value(0);
    if (strOp == QLatin1String("replace") && op.size() >= 8) {
        if (!bApplied) {
            model.absentTags.insert(op[5]);
            return;
        }
        model.days[Key(op.mid(1, 4))] = {op[5], op[6].toInt(), op[7].toLongLong()};
    } else if (strOp == QLatin1String("transfer") && op.size() >= 6) {
        if (bApplied)
            model.transfers.insert(Key(op.mid(1, 5)));
        else
            model.absentTransfers.insert(Key(op.mid(1, 5)));
    } else if (strOp == QLatin1String("open") && op.size() >= 4) {
        if (bApplied)
            model.opened.insert(Key(op.mid(1, 3)));
    } else if ((strOp == QLatin1String("create") || strOp == QLatin1String("delete")) &&
               op.size() >= 2) {
        // A done operation says what it found; a cut-off one is taken as having done its job.
        const bool bCreate = strOp == QLatin1String("create");
        if (!bApplied || e.strResult == QLatin1String("taken") ||
            e.strResult == QLatin1String("absent"))
            return;
        model.users[op[1]] = bCreate;
        DropUser(model.days, op[1]);
        DropUser(model.opened, op[1]);
        DropUser(model.transfers, op[1]);
    }
}

QStringList CStressChecker::Compare(const SModel& model) const {
    QStringList problems;
    auto show = [](QString str) { return str.replace(QLatin1Char('\t'), QLatin1Char(' ')); };
    for (auto it = model.users.cbegin(); it != model.users.cend(); ++it)
        if (m_users.contains(it.key()) != it.value())
            problems << QStringLiteral("用户“%1”应%2")
                            .arg(it.key(),
                                 it.value() ? QStringLiteral("存在") : QStringLiteral("已删除"));
    for (auto it = model.days.cbegin(); it != model.days.cend(); ++it) {
        const auto rows = m_days.value(it.key());
        qint64 nCents = 0;
        bool bTag = true;
        for (const auto& row : rows) {
            nCents += row.second;
            bTag = bTag && row.first.startsWith(it->strTag + QLatin1Char('#'));
        }
        if (rows.size() != it->nRows || nCents != it->nCents || !bTag)
            problems << QStringLiteral("%1：应有确认 %2 的 %3 行共 %4 分，实有 %5 行共 %6 分")
                            .arg(show(it.key()), it->strTag)
                            .arg(it->nRows)
                            .arg(it->nCents)
                            .arg(rows.size())
                            .arg(nCents);
    }
    for (const QString& strDay : model.opened)
        if (!m_presentDays.contains(strDay))
            problems << QStringLiteral("打开的一天不见了：") + show(strDay);
    for (const QString& strTrs : model.transfers)
        if (m_transfers.value(strTrs) != 1)
            problems << QStringLiteral("转帐应有 1 行，实有 %1 行：%2")
                            .arg(m_transfers.value(strTrs))
                            .arg(show(strTrs));
    for (const QString& strTag : model.absentTags)
        if (m_tags.contains(strTag))
            problems << QStringLiteral("失败的确认 %1 却留在帐本里").arg(strTag);
    for (const QString& strTrs : model.absentTransfers)
        if (m_transfers.value(strTrs) != 0)
            problems << QStringLiteral("失败的转帐却留在帐本里：") + show(strTrs);
    return problems;
}

QStringList CStressChecker::Check(const QVector<QVector<CStressLog::SEntry>>& logs,
                                  bool bAllowUnfinished) {
    QStringList problems = Load();
    SModel with;
    SModel without;
    bool bUnfinished = false;
    for (const auto& log : logs) {
        for (int i = 0; i < log.size(); ++i) {
            const CStressLog::SEntry& e = log[i];
            if (e.strState == QLatin1String("done")) {
                Apply(with, e, true);
                Apply(without, e, true);
            } else if (e.strState == QLatin1String("failed")) {
                Apply(with, e, false);
                Apply(without, e, false);
            } else {
                if (!bAllowUnfinished || i != log.size() - 1)
                    problems << QStringLiteral("操作 %1 没有结束：%2")
                                    .arg(e.nSeq)
                                    .arg(e.op.join(QLatin1Char(' ')));
                bUnfinished = true;
                Apply(with, e, true);
                Apply(without, e, false);
            }
        }
    }
    const QStringList withProblems = Compare(with);
    if (!bUnfinished) {
        problems << withProblems;
        return problems;
    }
    const QStringList withoutProblems = Compare(without);
    if (!withProblems.isEmpty() && !withoutProblems.isEmpty()) {
        problems << QStringLiteral("被打断的操作既不像做完了，也不像没做：");
        for (const QString& s : withProblems)
            problems << QStringLiteral("  若做完：") + s;
        for (const QString& s : withoutProblems)
            problems << QStringLiteral("  若没做：") + s;
    }
    return problems;
}
