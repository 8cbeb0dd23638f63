#pragma once

#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// The driver's record of what it did, one tab-separated line per event, each written with
// one write() so a process killed at any moment leaves whole lines. Every line carries when
// it was written (<µs>, the system's monotonic clock, the same in every process):
//
//   B <seq> <µs> <operation> <fields…>
//                     an operation begins (written before the database is touched)
//   D <seq> <µs> [<outcome>]
//                     it succeeded ("created" / "taken", "deleted" / "absent", …)
//   F <seq> <µs> busy|error|expected <message>
//                     it failed and, by the program's promise, left nothing behind
//                     ("expected": a race the program answers rightly, such as a backup
//                     pruned by another copy)
//   R <seq> <µs> <attempt> <message>   a busy database was retried
//   P <seq> <µs> <message>             the process saw something wrong with itself
//   K 0 <µs>                           written by the test after it killed the process
//
// Operations: confirm <user> <I|O> <yyyy-MM-dd> <account> <added> <changed> <removed>
//               added note:cents,…  changed old-note>new-note:cents,…  removed note,…  ("-": none)
//               (D conflict: refused because another copy changed the day; nothing written)
//             transfer <user> <yyyy-MM-dd> <from> <to> <cents>
//             open <user> <I|O> <yyyy-MM-dd>
//             create <user>      delete <user>
//             import <user> <account> <note:cents:I|O:yyyy-MM-dd,…>
//               (D cancelled: nothing written)
//             preview <user> <account>    login <user>    logout    quit
//             backup <file>    restore <file>   (D: the copy of the book kept before it)
class CStressLog {
public:
    struct SEntry {
        int nSeq = 0;
        QStringList op;    // operation name and fields, from the B line
        QString strState;  // "done", "failed", or "" while it never ended (killed)
        QString strResult; // D: the outcome; F: "busy", "error" or "expected"
        QString strMessage;
        int nRetries = 0;
        qint64 nBegin = 0; // µs, from the B line
        // µs, from the D or F line; for an operation that never ended, when its process was
        // seen dead (the K line), 0 when that is not known.
        qint64 nEnd = 0;
    };

    bool Open(const QString& strPath); // truncates
    void Begin(int nSeq, const QStringList& op);
    void Done(int nSeq, const QString& strOutcome = QString());
    void Failed(int nSeq, const QString& strKind, const QString& strMessage);
    void Retry(int nSeq, int nAttempt, const QString& strMessage);
    void Problem(int nSeq, const QString& strMessage);

    // Now on the clock the lines carry.
    static qint64 Now();
    // Appends the K line to the log of a process just killed.
    static bool MarkKilled(const QString& strPath);

    // Every operation of a log in the order begun, and the P lines (step, message) when
    // pProblems is given; false when the file cannot be read.
    static bool Read(const QString& strPath, QVector<SEntry>& entries, QString& strError,
                     QList<QPair<int, QString>>* pProblems = nullptr);

private:
    void Write(const char* szType, int nSeq, const QStringList& fields);
    QFile m_file;
};
