#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// Text files from banks and payment apps come as UTF-8 (with or without a BOM) or GB18030.
class CTextDecoder {
public:
    enum class EEncoding { Auto, Utf8, Gb18030 };

    // The text of the file. Auto: a UTF-8 BOM or valid UTF-8 is UTF-8, otherwise GB18030.
    // A chosen encoding that does not fit the bytes, or bytes that fit neither, throw
    // CImportError naming the first line that does not decode. *pUsed gets what was used.
    static QString Decode(const QByteArray& bytes, EEncoding eEncoding, EEncoding* pUsed = nullptr);
    static QString Name(EEncoding eEncoding);
    // A file read and decoded slice by slice from where it stands, so a big one is never
    // held whole: fn gets each slice of text and returns false to stop. eEncoding is Utf8 or
    // Gb18030; a UTF-8 BOM at the start is skipped. False when the bytes do not decode.
    static bool DecodeSlices(QIODevice& file, EEncoding eEncoding,
                             const std::function<bool(const QString& strSlice)>& fn);

private:
    static bool TryDecode(const QByteArray& bytes, EEncoding eEncoding, QString& strText,
                          int& nBadLine);
};
