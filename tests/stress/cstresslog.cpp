#include "cstresslog.h"

#include <QHash>
#include <chrono>

namespace {
// Messages and names never hold tabs or line breaks in the log.
QString Clean(QString str) {
    return str.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QByteArray Line(QLatin1String strType, int nSeq, const QStringList& fields) {
    QStringList clean{QString(strType), QString::number(nSeq), QString::number(CStressLog::Now())};
    for (const QString& f : fields)
        clean << Clean(f);
    return (clean.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8();
}
} // namespace

qint64 CStressLog::Now() {
    // steady_clock is CLOCK_MONOTONIC: one clock for every process of the machine.
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool CStressLog::Open(const QString& strPath) {
    m_file.setFileName(strPath);
    // Unbuffered: every line goes to the kernel at once, so SIGKILL loses none.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

void CStressLog::Write(const char* szType, int nSeq, const QStringList& fields) {
    m_file.write(Line(QLatin1String(szType), nSeq, fields));
}

void CStressLog::Begin(int nSeq, const QStringList& op) {
    Write("B", nSeq, op);
}

void CStressLog::Done(int nSeq, const QString& strOutcome) {
    Write("D", nSeq, {strOutcome});
}

void CStressLog::Failed(int nSeq, const QString& strKind, const QString& strMessage) {
    Write("F", nSeq, {strKind, strMessage});
}

void CStressLog::Retry(int nSeq, int nAttempt, const QString& strMessage) {
    Write("R", nSeq, {QString::number(nAttempt), strMessage});
}

void CStressLog::Problem(int nSeq, const QString& strMessage) {
    Write("P", nSeq, {strMessage});
}

bool CStressLog::MarkKilled(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) &&
           file.write(Line(QLatin1String("K"), 0, {})) > 0;
}

bool CStressLog::Read(const QString& strPath, QVector<SEntry>& entries, QString& strError,
                      QList<QPair<int, QString>>* pProblems) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = file.errorString();
        return false;
    }
    entries.clear();
    QHash<int, int> index; // seq -> entry
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (f.size() < 3)
            continue;
        bool bOk = false;
        bool bTimeOk = false;
        const int nSeq = f[1].toInt(&bOk);
        const qint64 nTime = f[2].toLongLong(&bTimeOk);
        if (!bOk || !bTimeOk)
            continue;
        if (f[0] == QLatin1String("B") && f.size() >= 4) {
            SEntry e;
            e.nSeq = nSeq;
            e.op = f.mid(3);
            e.nBegin = nTime;
            index.insert(nSeq, entries.size());
            entries.append(e);
            continue;
        }
        if (f[0] == QLatin1String("K")) {
            if (!entries.isEmpty() && entries.last().strState.isEmpty())
                entries.last().nEnd = nTime;
            continue;
        }
        if (f[0] == QLatin1String("P")) {
            if (pProblems)
                pProblems->append({nSeq, f.value(3)});
            continue;
        }
        const auto it = index.constFind(nSeq);
        if (it == index.constEnd())
            continue;
        SEntry& e = entries[*it];
        if (f[0] == QLatin1String("D")) {
            e.strState = QStringLiteral("done");
            e.strResult = f.value(3);
            e.nEnd = nTime;
        } else if (f[0] == QLatin1String("F")) {
            e.strState = QStringLiteral("failed");
            e.strResult = f.value(3);
            e.strMessage = f.value(4);
            e.nEnd = nTime;
        } else if (f[0] == QLatin1String("R")) {
            ++e.nRetries;
        }
    }
    return true;
}
