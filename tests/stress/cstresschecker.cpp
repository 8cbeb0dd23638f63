#include "cstresschecker.h"

#include "cbookbuilder.h"

#include <QSqlQuery>
#include <cmath>
#include <limits>

namespace {

QString Key(const QStringList& parts) {
    return parts.join(QLatin1Char('\t'));
}

// "-" for none, else the comma-separated items of a logged list.
QStringList Items(const QString& str) {
    return str == QLatin1String("-") ? QStringList() : str.split(QLatin1Char(','));
}

QString Show(QString str) {
    return str.replace(QLatin1Char('\t'), QLatin1Char(' '));
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
            problems << QStringLiteral("记录 %1 在账本里有 %2 行").arg(it.key()).arg(it->size());

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

void CStressChecker::Apply(SModel& model, const CStressLog::SEntry& e, const SSpan& span) const {
    const QStringList& op = e.op;
    const QString& strOp = op.value(0);
    const bool bHappened = span.eState != EState::Failed;
    QStringList notes; // rows this operation wrote
    if (strOp == QLatin1String("confirm") && op.size() >= 8) {
        // added: note:cents,…   changed: old>new:cents,…   removed: note,…
        const QString strWhere = Key(op.mid(1, 4));
        QStringList news = Items(op[5]);
        QStringList olds = Items(op[7]);
        for (const QString& strChange : Items(op[6])) {
            olds << strChange.section(QLatin1Char('>'), 0, 0);
            news << strChange.section(QLatin1Char('>'), 1);
        }
        for (const QString& strNew : news) {
            notes << strNew.section(QLatin1Char(':'), 0, 0);
            model.written.insert(
                notes.last(), {{strWhere, strNew.section(QLatin1Char(':'), 1).toLongLong()}, span});
        }
        if (bHappened)
            for (const QString& strOld : olds)
                model.removers[strOld].append(span);
    } else if (strOp == QLatin1String("import") && op.size() >= 4) {
        // note:cents:kind:date,…
        for (const QString& strItem : Items(op[3])) {
            const QStringList f = strItem.split(QLatin1Char(':'));
            notes << f.value(0);
            model.written.insert(
                notes.last(),
                {{Key({op[1], f.value(2), f.value(3), op[2]}), f.value(1).toLongLong()}, span});
        }
    } else if (strOp == QLatin1String("transfer") && op.size() >= 6) {
        model.transfers[Key(op.mid(1, 5))].append(span);
    } else if (strOp == QLatin1String("open") && op.size() >= 4) {
        model.opened[Key(op.mid(1, 3))].append(span);
    } else if ((strOp == QLatin1String("create") || strOp == QLatin1String("delete")) &&
               op.size() >= 2) {
        // A done operation says what it found; only a change of the user counts.
        if (!bHappened || e.strResult == QLatin1String("taken") ||
            e.strResult == QLatin1String("absent"))
            return;
        const bool bCreate = strOp == QLatin1String("create");
        model.users[op[1]] = {span, bCreate};
        if (!bCreate)
            model.deletions[op[1]].append(span);
    } else if (strOp == QLatin1String("backup") && op.size() >= 2) {
        if (span.eState == EState::Maybe || e.strResult == QLatin1String("made"))
            model.backups.insert(op[1], span);
    } else if (strOp == QLatin1String("restore") && op.size() >= 2) {
        if (bHappened)
            model.restores.append({span, op[1]});
    }
    if (span.eState == EState::Maybe && !notes.isEmpty())
        model.cutOff.append({span, notes});
}

bool CStressChecker::Survives(const SSpan& span) const {
    // A restore that may have come after the operation, of a backup that may have been taken
    // before the operation ended, may have undone it (or brought back what it removed).
    for (const SRestore& r : m_restores)
        if (r.restore.nEnd > span.nBegin && r.snapshot.nBegin <= span.nEnd)
            return false;
    return true;
}

bool CStressChecker::UndoneByRestore(const SSpan& span) const {
    // A restore surely after the operation, of a backup surely taken before it began, took it
    // back, unless a later restore may have read a backup from before that restore.
    for (const SRestore& r : m_restores) {
        if (r.restore.eState != EState::Done || r.snapshot.nEnd >= span.nBegin ||
            span.nEnd >= r.restore.nBegin)
            continue;
        bool bFinal = true;
        for (const SRestore& later : m_restores)
            if (&later != &r && later.restore.nEnd > r.restore.nBegin &&
                later.snapshot.nBegin <= r.restore.nEnd)
                bFinal = false;
        if (bFinal)
            return true;
    }
    return false;
}

bool CStressChecker::UserDeletedAfter(const SModel& model, const QString& strKey,
                                      const SSpan& span) const {
    for (const SSpan& d : model.deletions.value(strKey.section(QLatin1Char('\t'), 0, 0)))
        if (d.nEnd > span.nBegin)
            return true;
    return false;
}

QStringList CStressChecker::Compare(const SModel& model, bool bComplete) {
    QStringList problems;
    m_counts = SCounts();
    // Which user exists is not followed through restores.
    if (m_restores.isEmpty())
        for (auto it = model.users.cbegin(); it != model.users.cend(); ++it)
            if (it->first.eState == EState::Done && m_users.contains(it.key()) != it->second)
                problems << QStringLiteral("用户“%1”应%2")
                                .arg(it.key(), it->second ? QStringLiteral("存在")
                                                          : QStringLiteral("已删除"));

    enum class EVerdict { MustBe, MustNotBe, Either };
    auto count = [this](EVerdict e) {
        ++(e == EVerdict::MustBe      ? m_counts.nMustBe
           : e == EVerdict::MustNotBe ? m_counts.nMustNotBe
                                      : m_counts.nEither);
    };
    // Removed for good: by a change or removal, or with its user, that no restore undid.
    auto removed = [this](const QVector<SSpan>& removers) {
        for (const SSpan& s : removers)
            if (s.eState == EState::Done && Survives(s))
                return true;
        return false;
    };
    for (auto it = model.written.cbegin(); it != model.written.cend(); ++it) {
        const SWritten& w = it.value();
        QVector<SSpan> removers = model.removers.value(it.key());
        for (const SSpan& d :
             model.deletions.value(w.row.strWhere.section(QLatin1Char('\t'), 0, 0)))
            if (d.nEnd > w.writer.nBegin)
                removers << d;
        EVerdict e = EVerdict::Either;
        if (w.writer.eState == EState::Failed || removed(removers) || UndoneByRestore(w.writer))
            e = EVerdict::MustNotBe;
        else if (w.writer.eState == EState::Done && removers.isEmpty() && Survives(w.writer))
            e = EVerdict::MustBe;
        count(e);
        const QVector<SRow> rows = m_rows.value(it.key());
        if (e == EVerdict::MustBe && rows.isEmpty())
            problems << QStringLiteral("保存过的记录 %1 不见了（%2，操作 %3）")
                            .arg(it.key(), Show(w.row.strWhere), w.writer.strWho);
        else if (e == EVerdict::MustNotBe && !rows.isEmpty())
            problems << QStringLiteral("记录 %1 已被改掉、删掉或没有保存，却还在账本里（操作 %2）")
                            .arg(it.key(), w.writer.strWho);
        else if (!rows.isEmpty() &&
                 (rows.first().strWhere != w.row.strWhere || rows.first().nCents != w.row.nCents))
            problems << QStringLiteral("记录 %1 应在 %2 共 %3 分，实在 %4 共 %5 分")
                            .arg(it.key(), Show(w.row.strWhere))
                            .arg(w.row.nCents)
                            .arg(Show(rows.first().strWhere))
                            .arg(rows.first().nCents);
    }
    // Rows written before these logs began (an earlier run on the same book).
    for (auto it = model.removers.cbegin(); it != model.removers.cend(); ++it)
        if (!model.written.contains(it.key()) && removed(it.value()) && m_rows.contains(it.key()))
            problems << QStringLiteral("记录 %1 已被改掉或删掉，却还在账本里").arg(it.key());
    if (bComplete)
        for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
            if (!model.written.contains(it.key()))
                problems << QStringLiteral("账本里有一行没有哪个操作写过：%1（%2）")
                                .arg(it.key(), Show(it->first().strWhere));

    for (auto it = model.transfers.cbegin(); it != model.transfers.cend(); ++it) {
        EVerdict e = EVerdict::MustNotBe;
        for (const SSpan& s : it.value()) {
            if (s.eState == EState::Done && Survives(s) && !UserDeletedAfter(model, it.key(), s)) {
                e = EVerdict::MustBe;
                break;
            }
            if (s.eState != EState::Failed && !UndoneByRestore(s))
                e = EVerdict::Either;
        }
        count(e);
        const int n = m_transfers.value(it.key());
        if (n > 1 || (e == EVerdict::MustBe && n != 1))
            problems << QStringLiteral("转账应有 1 行，实有 %1 行：%2").arg(n).arg(Show(it.key()));
        else if (e == EVerdict::MustNotBe && n != 0)
            problems << QStringLiteral("失败的转账却留在账本里：") + Show(it.key());
    }
    for (auto it = model.opened.cbegin(); it != model.opened.cend(); ++it)
        for (const SSpan& s : it.value())
            if (s.eState == EState::Done && Survives(s) && !UserDeletedAfter(model, it.key(), s) &&
                !m_presentDays.contains(it.key())) {
                problems << QStringLiteral("打开的一天不见了：") + Show(it.key());
                break;
            }

    // An operation cut short happened whole or not at all.
    for (const auto& cut : model.cutOff) {
        if (!Survives(cut.first))
            continue;
        QSet<bool> seen;
        for (const QString& strNote : cut.second)
            if (!model.removers.contains(strNote) &&
                !UserDeletedAfter(model, model.written.value(strNote).row.strWhere, cut.first))
                seen.insert(m_rows.contains(strNote));
        if (seen.size() > 1)
            problems << QStringLiteral("被打断的操作 %1 只做了一半：%2")
                            .arg(cut.first.strWho, cut.second.join(QLatin1Char(',')));
    }
    return problems;
}

QStringList CStressChecker::Check(const QVector<QVector<CStressLog::SEntry>>& logs,
                                  bool bAllowUnfinished) {
    QStringList problems = Load();
    SModel model;
    for (int nLog = 0; nLog < logs.size(); ++nLog) {
        const auto& log = logs[nLog];
        for (int i = 0; i < log.size(); ++i) {
            const CStressLog::SEntry& e = log[i];
            SSpan span;
            span.nBegin = e.nBegin;
            span.nEnd = e.nEnd;
            span.strWho = QStringLiteral("%1#%2").arg(nLog).arg(e.nSeq);
            if (e.strState == QLatin1String("done")) {
                // Refused because another copy changed the day, or cancelled: nothing written.
                const bool bRefused = e.strResult == QLatin1String("conflict") ||
                                      e.strResult == QLatin1String("cancelled");
                span.eState = bRefused ? EState::Failed : EState::Done;
            } else if (!e.strState.isEmpty()) {
                span.eState = EState::Failed;
            } else {
                // Only a killed process leaves an operation unfinished, and only its last one.
                if (i != log.size() - 1 || (!bAllowUnfinished && e.nEnd == 0))
                    problems << QStringLiteral("操作 %1 没有结束：%2")
                                    .arg(span.strWho, e.op.join(QLatin1Char(' ')));
                span.eState = EState::Maybe;
                if (span.nEnd == 0)
                    span.nEnd = std::numeric_limits<qint64>::max();
            }
            Apply(model, e, span);
        }
    }
    m_restores.clear();
    for (const auto& r : model.restores) {
        SRestore restore{r.first, {}};
        if (model.backups.contains(r.second)) {
            restore.snapshot = model.backups.value(r.second);
            // The file was there when the restore began.
            restore.snapshot.nEnd = qMin(restore.snapshot.nEnd, r.first.nBegin);
        } else {
            problems << QStringLiteral("恢复所用的备份 %1 不是哪一次备份做的（操作 %2）")
                            .arg(r.second, r.first.strWho);
        }
        m_restores.append(restore);
    }
    problems << Compare(model, !bAllowUnfinished);
    return problems;
}
