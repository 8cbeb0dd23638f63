// One statement reader under libFuzzer, chosen when compiled (LEDGERKIN_FUZZ_CSV, _QIF, _OFX
// or _XLSX). A file the reader refuses must end in CImportError; anything else that escapes,
// and every crash, leak or undefined behaviour the sanitizers see, is a finding.

#include "import/ccsvparser.h"
#include "import/cimporterror.h"
#include "import/cofxreader.h"
#include "import/cqifreader.h"
#include "import/ctablereader.h"
#include "import/ctextdecoder.h"
#include "import/cxlsxreader.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The readers of OFX and XLSX read files: each input goes to one of this process's own.
QString ScratchFile() {
#if defined(LEDGERKIN_FUZZ_OFX)
    const char* szExt = "ofx";
#else
    const char* szExt = "xlsx";
#endif
    static const QString s_strPath =
        QDir::temp().filePath(QStringLiteral("ledgerkin-fuzz-%1.%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QLatin1String(szExt)));
    return s_strPath;
}

[[maybe_unused]] QString WriteScratch(const QByteArray& bytes) {
    QFile file(ScratchFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(bytes);
    return file.fileName();
}

// Every way the import reads a table: the layout it recognises, the known layouts read
// whatever was recognised, and a column mapping taken from the input's own first bytes.
[[maybe_unused]] void ReadTable(const TTable& table, const QByteArray& bytes) {
    CTableReader::DetectLayout(table);
    const int nHeader = CTableReader::GuessHeader(table);
    auto read = [](auto fn) {
        try {
            fn();
        } catch (const CImportError&) {
        }
    };
    read([&] { CTableReader::ReadAlipay(table); });
    read([&] { CTableReader::ReadWechat(table); });
    SColumnMapping m;
    auto column = [&bytes](int i) { return i < bytes.size() ? int(bytes[i] % 8) - 1 : -1; };
    m.nDate = column(0);
    m.nAmount = column(1);
    m.nIn = column(2);
    m.nOut = column(3);
    m.nNote = column(4);
    m.nCounterpart = column(5);
    m.nCategory = column(6);
    const QStringList formats = CTableReader::DateFormats();
    m.strDateFormat = formats.value(bytes.isEmpty() ? 0 : int(uchar(bytes[0])) % formats.size());
    read([&] { CTableReader::ReadMapped(table, nHeader, m); });
}

// The text fed slice by slice, as a file is read, must give the rows the whole text gives
// (or fail the same way); the slice length comes from the input.
[[maybe_unused]] void CompareStream(const QString& strText, const QByteArray& bytes) {
    TTable whole;
    bool bWholeFailed = false;
    try {
        whole = CCsvParser::Parse(strText);
    } catch (const CImportError&) {
        bWholeFailed = true;
    }
    TTable streamed;
    bool bStreamFailed = false;
    const qsizetype nSlice = bytes.isEmpty() ? 1 : 1 + uchar(bytes.back()) % 64;
    try {
        CCsvParser::CStream stream(0, [&streamed](const STableRow& row) {
            streamed.append(row);
            return true;
        });
        for (qsizetype i = 0; i < strText.size(); i += nSlice)
            stream.Feed(strText.mid(i, nSlice));
        stream.Finish();
    } catch (const CImportError&) {
        bStreamFailed = true;
    }
    if (bWholeFailed != bStreamFailed)
        abort();
    if (bWholeFailed)
        return;
    if (whole.size() != streamed.size())
        abort();
    for (qsizetype i = 0; i < whole.size(); ++i)
        if (whole[i].cells != streamed[i].cells || whole[i].nLine != streamed[i].nLine)
            abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const QByteArray bytes(reinterpret_cast<const char*>(pData), qsizetype(nSize));
    try {
#if defined(LEDGERKIN_FUZZ_CSV)
        const QString strText = CTextDecoder::Decode(bytes, CTextDecoder::EEncoding::Auto);
        CompareStream(strText, bytes);
        ReadTable(CCsvParser::Parse(strText), bytes);
#elif defined(LEDGERKIN_FUZZ_QIF)
        const QString strText = CTextDecoder::Decode(bytes, CTextDecoder::EEncoding::Auto);
        if (CQifReader::LooksLikeQif(strText))
            CQifReader::Read(strText);
#elif defined(LEDGERKIN_FUZZ_OFX)
        COfxReader::Read(WriteScratch(bytes));
#elif defined(LEDGERKIN_FUZZ_XLSX)
        ReadTable(CXlsxReader::ReadSheet(WriteScratch(bytes)), bytes);
#else
#error "which reader: LEDGERKIN_FUZZ_CSV, _QIF, _OFX or _XLSX"
#endif
    } catch (const CImportError&) {
    }
    return 0;
}
