#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

// The driver's record of what it did, one tab-separated line per event, each written with
// one write() so a process killed at any moment leaves whole lines:
//
//   B <seq> <operation> <fields…>   an operation begins (written before the database is touched)
//   D <seq> [<outcome>]             it succeeded ("created" / "taken", "deleted" / "absent")
//   F <seq> busy|error <message>    it failed and, by the program's promise, left nothing behind
//   R <seq> <attempt> <message>     a busy database was retried
//
// Operations: confirm <user> <I|O> <yyyy-MM-dd> <account> <added> <changed> <removed>
//               added note:cents,…  changed old-note>new-note:cents,…  removed note,…  ("-": none)
//               (D conflict: refused because another copy changed the day; nothing written)
//             transfer <user> <yyyy-MM-dd> <from> <to> <cents>
//             open <user> <I|O> <yyyy-MM-dd>
//             create <user>      delete <user>
class CStressLog {
public:
    struct SEntry {
        int nSeq = 0;
        QStringList op;    // operation name and fields, from the B line
        QString strState;  // "done", "failed", or "" while it never ended (killed)
        QString strResult; // D: the outcome; F: "busy" or "error"
        QString strMessage;
        int nRetries = 0;
    };

    bool Open(const QString& strPath); // truncates
    void Begin(int nSeq, const QStringList& op);
    void Done(int nSeq, const QString& strOutcome = QString());
    void Failed(int nSeq, bool bBusy, const QString& strMessage);
    void Retry(int nSeq, int nAttempt, const QString& strMessage);

    // Every operation of a log in the order begun; false when the file cannot be read.
    static bool Read(const QString& strPath, QVector<SEntry>& entries, QString& strError);

private:
    void Write(const QStringList& fields);
    QFile m_file;
};
