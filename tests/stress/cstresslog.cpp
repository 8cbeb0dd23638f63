#include "cstresslog.h"

#include <QHash>
#include <QTextStream>

namespace {
// Messages and names never hold tabs or line breaks in the log.
QString Clean(QString str) {
    return str.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}
} // namespace

bool CStressLog::Open(const QString& strPath) {
    m_file.setFileName(strPath);
    // Unbuffered: every line goes to the kernel at once, so SIGKILL loses none.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

void CStressLog::Write(const QStringList& fields) {
    QStringList clean;
    for (const QString& f : fields)
        clean << Clean(f);
    m_file.write((clean.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8());
}

void CStressLog::Begin(int nSeq, const QStringList& op) {
    Write(QStringList{QStringLiteral("B"), QString::number(nSeq)} + op);
}

void CStressLog::Done(int nSeq, const QString& strOutcome) {
    Write({QStringLiteral("D"), QString::number(nSeq), strOutcome});
}

void CStressLog::Failed(int nSeq, bool bBusy, const QString& strMessage) {
    Write({QStringLiteral("F"), QString::number(nSeq),
           bBusy ? QStringLiteral("busy") : QStringLiteral("error"), strMessage});
}

void CStressLog::Retry(int nSeq, int nAttempt, const QString& strMessage) {
    Write({QStringLiteral("R"), QString::number(nSeq), QString::number(nAttempt), strMessage});
}

bool CStressLog::Read(const QString& strPath, QVector<SEntry>& entries, QString& strError) {
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
        if (f.size() < 2)
            continue;
        bool bOk = false;
        const int nSeq = f[1].toInt(&bOk);
        if (!bOk)
            continue;
        if (f[0] == QLatin1String("B") && f.size() >= 3) {
            SEntry e;
            e.nSeq = nSeq;
            e.op = f.mid(2);
            index.insert(nSeq, entries.size());
            entries.append(e);
            continue;
        }
        const auto it = index.constFind(nSeq);
        if (it == index.constEnd())
            continue;
        SEntry& e = entries[*it];
        if (f[0] == QLatin1String("D")) {
            e.strState = QStringLiteral("done");
            e.strResult = f.value(2);
        } else if (f[0] == QLatin1String("F")) {
            e.strState = QStringLiteral("failed");
            e.strResult = f.value(2);
            e.strMessage = f.value(3);
        } else if (f[0] == QLatin1String("R")) {
            ++e.nRetries;
        }
    }
    return true;
}
