#include "ctextdecoder.h"

#include "cimporterror.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QStringDecoder>

QString CTextDecoder::Name(EEncoding eEncoding) {
    switch (eEncoding) {
    case EEncoding::Auto:
        return QCoreApplication::translate("CTextDecoder", "自动识别");
    case EEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case EEncoding::Gb18030:
        return QStringLiteral("GB18030");
    }
    return QString();
}

bool CTextDecoder::DecodeSlices(QIODevice& file, EEncoding eEncoding,
                                const std::function<bool(const QString& strSlice)>& fn) {
    QStringDecoder decoder = eEncoding == EEncoding::Utf8 ? QStringDecoder(QStringConverter::Utf8)
                                                          : QStringDecoder("GB18030");
    if (!decoder.isValid())
        return false;
    // A slice may end inside a character: the decoder keeps its first bytes for the next.
    constexpr qint64 SliceBytes = 1 << 20;
    bool bFirst = true;
    while (!file.atEnd()) {
        QByteArray bytes = file.read(SliceBytes);
        if (bytes.isEmpty())
            break;
        if (bFirst && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        bFirst = false;
        const QString strSlice = decoder.decode(bytes);
        if (decoder.hasError())
            return false;
        if (!fn(strSlice))
            break;
    }
    return !decoder.hasError();
}

bool CTextDecoder::TryDecode(const QByteArray& bytes, EEncoding eEncoding, QString& strText,
                             int& nBadLine) {
    // GB18030 comes from ICU; a build without it cannot read such files at all.
    QStringDecoder decoder = eEncoding == EEncoding::Utf8 ? QStringDecoder(QStringConverter::Utf8)
                                                          : QStringDecoder("GB18030");
    if (!decoder.isValid()) {
        nBadLine = 0;
        return false;
    }
    strText = decoder.decode(bytes);
    if (!decoder.hasError())
        return true;
    // Find the first line that does not decode, so the message can point at it.
    nBadLine = 1;
    int nStart = 0;
    while (nStart < bytes.size()) {
        int nEnd = bytes.indexOf('\n', nStart);
        if (nEnd < 0)
            nEnd = int(bytes.size());
        QStringDecoder line = eEncoding == EEncoding::Utf8 ? QStringDecoder(QStringConverter::Utf8)
                                                           : QStringDecoder("GB18030");
        const QString strLine = line.decode(bytes.mid(nStart, nEnd - nStart));
        if (line.hasError())
            return false;
        ++nBadLine;
        nStart = nEnd + 1;
    }
    return false;
}

QString CTextDecoder::Decode(const QByteArray& bytes, EEncoding eEncoding, EEncoding* pUsed) {
    QByteArray body = bytes;
    const bool bBom = body.startsWith("\xEF\xBB\xBF");
    if (bBom) {
        body.remove(0, 3);
        if (eEncoding == EEncoding::Auto)
            eEncoding = EEncoding::Utf8;
    }
    QString strText;
    int nBadLine = 0;
    if (eEncoding == EEncoding::Auto) {
        if (TryDecode(body, EEncoding::Utf8, strText, nBadLine))
            eEncoding = EEncoding::Utf8;
        else if (TryDecode(body, EEncoding::Gb18030, strText, nBadLine))
            eEncoding = EEncoding::Gb18030;
        else
            throw CImportError(
                QCoreApplication::translate("CTextDecoder",
                                            "文件的编码无法识别（既不是 UTF-8，也不是 GB18030）。"),
                nBadLine);
    } else if (!TryDecode(body, eEncoding, strText, nBadLine)) {
        throw CImportError(
            QCoreApplication::translate("CTextDecoder", "文字不是 %1 编码。").arg(Name(eEncoding)),
            nBadLine);
    }
    if (pUsed)
        *pUsed = eEncoding;
    return strText;
}
