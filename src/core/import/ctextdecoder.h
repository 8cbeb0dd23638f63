#pragma once

#include <QByteArray>
#include <QString>

// Text files from banks and payment apps come as UTF-8 (with or without a BOM) or GB18030.
class CTextDecoder {
public:
    enum class EEncoding { Auto, Utf8, Gb18030 };

    // The text of the file. Auto: a UTF-8 BOM or valid UTF-8 is UTF-8, otherwise GB18030.
    // A chosen encoding that does not fit the bytes, or bytes that fit neither, throw
    // CImportError naming the first line that does not decode. *pUsed gets what was used.
    static QString Decode(const QByteArray& bytes, EEncoding eEncoding, EEncoding* pUsed = nullptr);
    static QString Name(EEncoding eEncoding);

private:
    static bool TryDecode(const QByteArray& bytes, EEncoding eEncoding, QString& strText,
                          int& nBadLine);
};
