#include "cstresschecker.h"

#include "cbookbuilder.h"

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
    m_rows.clear();
    m_presentDays.clear();
    m_transfers.clear();
    m_users.clear();
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
                m_rows[q.value(3).toString()].append({Key({strUser, strKind, strDate, strBank}),
                                                      std::llround(q.value(4).toDouble() * 100.0)});
        }
    }
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        if (it.value().size() > 1)
            problems << QStringLiteral("记录 %1 在帐本里有 %2 行").arg(it.key()).arg(it->size());

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
    if (strOp == QLatin1String("confirm") && op.size() >= 8) {
        // added: note:cents,…   changed: old>new:cents,…   removed: note,…   ("-" for none)
        auto items = [](const QString& str) {
            return str == QLatin1String("-") ? QStringList() : str.split(QLatin1Char(','));
        };
        const QString strWhere = Key(op.mid(1, 4));
        QStringList news = items(op[5]);
        QStringList olds = items(op[7]);
        for (const QString& strChange : items(op[6])) {
            olds << strChange.section(QLatin1Char('>'), 0, 0);
            news << strChange.section(QLatin1Char('>'), 1);
        }
        for (const QString& strNew : news) {
            const QString strNote = strNew.section(QLatin1Char(':'), 0, 0);
            if (bApplied)
                model.written.insert(strNote,
                                     {strWhere, strNew.section(QLatin1Char(':'), 1).toLongLong()});
            else
                model.gone.insert(strNote);
        }
        if (bApplied)
            for (const QString& strOld : olds)
                model.gone.insert(strOld);
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
        for (auto it = model.written.begin(); it != model.written.end();) {
            if (OfUser(it->strWhere, op[1])) {
                model.gone.insert(it.key());
                it = model.written.erase(it);
            } else {
                ++it;
            }
        }
        DropUser(model.opened, op[1]);
        DropUser(model.transfers, op[1]);
    }
}

QStringList CStressChecker::Compare(const SModel& model, bool bComplete) const {
    QStringList problems;
    auto show = [](QString str) { return str.replace(QLatin1Char('\t'), QLatin1Char(' ')); };
    for (auto it = model.users.cbegin(); it != model.users.cend(); ++it)
        if (m_users.contains(it.key()) != it.value())
            problems << QStringLiteral("用户“%1”应%2")
                            .arg(it.key(),
                                 it.value() ? QStringLiteral("存在") : QStringLiteral("已删除"));
    // Which copy wrote a row first does not matter: a row is there when some confirmation
    // wrote it and none changed it away or removed it since.
    for (auto it = model.written.cbegin(); it != model.written.cend(); ++it) {
        if (model.gone.contains(it.key()))
            continue;
        const QVector<SRow> rows = m_rows.value(it.key());
        if (rows.isEmpty())
            problems
                << QStringLiteral("确认过的记录 %1 不见了（%2）").arg(it.key(), show(it->strWhere));
        else if (rows.first().strWhere != it->strWhere || rows.first().nCents != it->nCents)
            problems << QStringLiteral("记录 %1 应在 %2 共 %3 分，实在 %4 共 %5 分")
                            .arg(it.key(), show(it->strWhere))
                            .arg(it->nCents)
                            .arg(show(rows.first().strWhere))
                            .arg(rows.first().nCents);
    }
    for (const QString& strNote : model.gone)
        if (m_rows.contains(strNote))
            problems
                << QStringLiteral("记录 %1 已被改掉、删掉或没有保存，却还在帐本里").arg(strNote);
    if (bComplete)
        for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
            if (!model.written.contains(it.key()) && !model.gone.contains(it.key()))
                problems << QStringLiteral("帐本里有一行没有哪次确认写过：%1（%2）")
                                .arg(it.key(), show(it->first().strWhere));
    for (const QString& strDay : model.opened)
        if (!m_presentDays.contains(strDay))
            problems << QStringLiteral("打开的一天不见了：") + show(strDay);
    for (const QString& strTrs : model.transfers)
        if (m_transfers.value(strTrs) != 1)
            problems << QStringLiteral("转帐应有 1 行，实有 %1 行：%2")
                            .arg(m_transfers.value(strTrs))
                            .arg(show(strTrs));
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
            // A confirmation refused because another copy changed the day wrote nothing.
            const bool bRefused = e.strResult == QLatin1String("conflict");
            if (e.strState == QLatin1String("done") && !bRefused) {
                Apply(with, e, true);
                Apply(without, e, true);
            } else if (!e.strState.isEmpty()) {
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
    const QStringList withProblems = Compare(with, !bAllowUnfinished);
    if (!bUnfinished) {
        problems << withProblems;
        return problems;
    }
    const QStringList withoutProblems = Compare(without, false);
    if (!withProblems.isEmpty() && !withoutProblems.isEmpty()) {
        problems << QStringLiteral("被打断的操作既不像做完了，也不像没做：");
        for (const QString& s : withProblems)
            problems << QStringLiteral("  若做完：") + s;
        for (const QString& s : withoutProblems)
            problems << QStringLiteral("  若没做：") + s;
    }
    return problems;
}
