#include "cstatementfile.h"

#include "ccsvparser.h"
#include "cimporterror.h"
#include "cofxreader.h"
#include "cqifreader.h"
#include "ctablereader.h"
#include "cxlsxreader.h"
#include "data/cdatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {
QString Tr(const char* sz) {
    return QCoreApplication::translate("CStatementFile", sz);
}

// A CSV file whose first rows were parsed already; the whole is read and parsed again, slice
// by slice, as its rows are asked for.
class CCsvSource : public CRowSource {
public:
    CCsvSource(const QString& strPath, CTextDecoder::EEncoding eEncoding, qint64 nSize,
               const QDateTime& modified, const TTable& head)
        : m_strPath(strPath), m_eEncoding(eEncoding), m_nSize(nSize), m_modified(modified),
          m_head(head) {}
    const TTable& Head() const override { return m_head; }
    void ForEach(int nFrom, const std::function<bool(const STableRow&)>& fn) const override {
        QFile file(m_strPath);
        if (!file.open(QIODevice::ReadOnly))
            throw CImportError(Tr("无法打开文件：%1").arg(file.errorString()));
        const QString strChanged = Tr("文件在打开之后被改动过，请重新打开。");
        if (file.size() != m_nSize || QFileInfo(file).lastModified() != m_modified)
            throw CImportError(strChanged);
        CCsvParser::CStream csv(nFrom, fn);
        bool bAll = true;
        if (!CTextDecoder::DecodeSlices(file, m_eEncoding, [&](const QString& strSlice) {
                return bAll = csv.Feed(strSlice);
            }))
            throw CImportError(strChanged);
        if (bAll)
            csv.Finish();
    }

private:
    QString m_strPath;
    CTextDecoder::EEncoding m_eEncoding;
    qint64 m_nSize;
    QDateTime m_modified;
    const TTable& m_head;
};

// A workbook whose sheet's first rows were read already; the sheet is read again, row by
// row, as its rows are asked for, so a big sheet never stands in memory as cells.
class CSheetSource : public CRowSource {
public:
    CSheetSource(const QString& strPath, int nSheet, qint64 nSize, const QDateTime& modified,
                 const TTable& head)
        : m_strPath(strPath), m_nSheet(nSheet), m_nSize(nSize), m_modified(modified), m_head(head) {
    }
    const TTable& Head() const override { return m_head; }
    void ForEach(int nFrom, const std::function<bool(const STableRow&)>& fn) const override {
        const QFileInfo info(m_strPath);
        if (info.size() != m_nSize || info.lastModified() != m_modified)
            throw CImportError(Tr("文件在打开之后被改动过，请重新打开。"));
        int nRow = 0;
        CXlsxReader::ReadSheet(m_strPath, m_nSheet, nullptr, nullptr,
                               [&](const STableRow& row) { return nRow++ < nFrom || fn(row); });
    }

private:
    QString m_strPath;
    int m_nSheet;
    qint64 m_nSize;
    QDateTime m_modified;
    const TTable& m_head;
};

// Nothing but blanks and line breaks from where the file stands.
bool OnlyBlanks(QFile& file) {
    while (!file.atEnd()) {
        const QByteArray bytes = file.read(1 << 20);
        if (bytes.isEmpty())
            break;
        if (!bytes.trimmed().isEmpty())
            return false;
    }
    return true;
}
} // namespace

QString CStatementFile::FormatName(EStatementFormat eFormat) {
    switch (eFormat) {
    case EStatementFormat::Alipay:
        return Tr("支付宝交易明细（CSV，手机或网页导出）");
    case EStatementFormat::Wechat:
        return Tr("微信支付账单明细（CSV 或 XLSX）");
    case EStatementFormat::Qif:
        return Tr("QIF 文件");
    case EStatementFormat::Ofx:
        return Tr("OFX / QFX 银行对账单");
    case EStatementFormat::Csv:
        return Tr("其它 CSV（自行指定各列）");
    }
    return QString();
}

void CStatementFile::Load(const QString& strPath, CTextDecoder::EEncoding eEncoding, int nSheet) {
    *this = CStatementFile();
    m_strPath = strPath;
    if (CDatabase::IsOpenBookFile(strPath))
        throw CImportError(CDatabase::OpenBookFileText(strPath));
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        throw CImportError(Tr("无法打开文件：%1").arg(file.errorString()));
    // A text file is never read whole: a big statement is decoded and parsed as it is read.
    const QByteArray head = file.read(4096);
    if (head.trimmed().isEmpty() && OnlyBlanks(file))
        throw CImportError(Tr("文件是空的。"));

    const bool bZip = head.startsWith("PK\x03\x04");
    if (bZip ||
        QFileInfo(strPath).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0) {
        file.close();
        if (!bZip)
            throw CImportError(Tr("不是 XLSX 文件（文件内容不是 XLSX 压缩包）。"));
        m_bXlsx = true;
        m_nSize = QFileInfo(strPath).size();
        m_modified = QFileInfo(strPath).lastModified();
        // Only the first rows stay as cells, as for a CSV; Read() reads the sheet again.
        CXlsxReader::ReadSheet(strPath, nSheet, &m_sheets, &m_nSheet, [this](const STableRow& row) {
            m_table.append(row);
            return m_table.size() < HeadRows;
        });
        m_bTableParsed = true;
        m_eDetected = CTableReader::DetectLayout(m_table);
        return;
    }
    if (COfxReader::LooksLikeOfx(head)) {
        m_eDetected = EStatementFormat::Ofx;
        return;
    }
    m_nSize = file.size();
    m_modified = QFileInfo(file).lastModified();

    // The encoding: the whole file must decode in it.
    using EEncoding = CTextDecoder::EEncoding;
    auto decodes = [&file](EEncoding e) {
        file.seek(0);
        return CTextDecoder::DecodeSlices(file, e, [](const QString&) { return true; });
    };
    EEncoding eUsed = eEncoding;
    if (eUsed == EEncoding::Auto && head.startsWith("\xEF\xBB\xBF"))
        eUsed = EEncoding::Utf8;
    bool bDecodes = true;
    if (eUsed != EEncoding::Auto)
        bDecodes = decodes(eUsed);
    else if (decodes(EEncoding::Utf8))
        eUsed = EEncoding::Utf8;
    else if (decodes(EEncoding::Gb18030))
        eUsed = EEncoding::Gb18030;
    else
        bDecodes = false;
    if (!bDecodes) {
        // Read whole only to say which line does not decode.
        file.seek(0);
        CTextDecoder::Decode(file.readAll(), eEncoding, &eUsed);
    }
    m_eEncoding = eUsed;

    file.seek(0);
    bool bFirst = true, bQif = false, bAll = true;
    // Only the first rows stay as cells: enough to find the header and guess the columns.
    // Read() parses the rest as it goes.
    CCsvParser::CStream csv(0, [this](const STableRow& row) {
        m_table.append(row);
        return m_table.size() < HeadRows;
    });
    try {
        CTextDecoder::DecodeSlices(file, eUsed, [&](const QString& strSlice) {
            if (bFirst) {
                bFirst = false;
                bQif = CQifReader::LooksLikeQif(strSlice);
                if (bQif)
                    return false;
            }
            return bAll = csv.Feed(strSlice);
        });
        if (bAll && !bQif)
            csv.Finish();
        m_bTableParsed = !bQif;
    } catch (const CImportError& e) {
        m_strTableError = e.m_strMessage;
    }
    if (bQif) {
        // Its text is read again when its rows are asked for: not held while the wizard runs.
        m_table.clear();
        m_bQif = true;
        m_eDetected = EStatementFormat::Qif;
        return;
    }
    m_eDetected = CTableReader::DetectLayout(m_table);
}

int CStatementFile::GuessedHeader() const {
    return CTableReader::GuessHeader(m_table);
}

bool CStatementFile::GuessLayout(int& nHeader, SColumnMapping& mapping) const {
    return CTableReader::GuessLayout(m_table, nHeader, mapping);
}

QString CStatementFile::LayoutKey(int nHeader) const {
    // A file without a header is known by its number of columns only.
    if (nHeader < 0 && !m_table.isEmpty())
        return QStringLiteral("#%1").arg(m_table.first().cells.size());
    if (nHeader < 0 || nHeader >= m_table.size())
        return QString();
    return m_table[nHeader].cells.join(QLatin1Char('|')).left(255);
}

SStatement CStatementFile::Read(EStatementFormat eFormat, const SColumnMapping& mapping,
                                int nHeader) const {
    if (eFormat == EStatementFormat::Ofx)
        return COfxReader::Read(m_strPath);
    if (eFormat == EStatementFormat::Qif) {
        if (m_bXlsx || !m_bQif)
            throw CImportError(Tr("不是 QIF 文件（应以 !Type: 或 !Account 开头）。"));
        QFile file(m_strPath);
        if (!file.open(QIODevice::ReadOnly))
            throw CImportError(Tr("无法打开文件：%1").arg(file.errorString()));
        QString strText;
        if (file.size() != m_nSize || QFileInfo(file).lastModified() != m_modified ||
            !CTextDecoder::DecodeSlices(file, m_eEncoding, [&strText](const QString& strSlice) {
                strText += strSlice;
                return true;
            }))
            throw CImportError(Tr("文件在打开之后被改动过，请重新打开。"));
        SStatement st = CQifReader::Read(strText);
        st.strEncoding = CTextDecoder::Name(m_eEncoding);
        return st;
    }
    if (!m_bTableParsed)
        throw CImportError(m_strTableError.isEmpty() ? Tr("不是 CSV 文件。") : m_strTableError);
    SStatement st;
    const CSheetSource sheet(m_strPath, m_nSheet, m_nSize, m_modified, m_table);
    const CCsvSource csv(m_strPath, m_eEncoding, m_nSize, m_modified, m_table);
    const CRowSource& source = m_bXlsx ? static_cast<const CRowSource&>(sheet) : csv;
    if (eFormat == EStatementFormat::Alipay)
        st = CTableReader::ReadAlipay(source);
    else if (eFormat == EStatementFormat::Wechat)
        st = CTableReader::ReadWechat(source);
    else if (mapping.IsUsable())
        st = CTableReader::ReadMapped(source, nHeader, mapping);
    else {
        SColumnMapping guess;
        int nGuessHeader = -1;
        if (!GuessLayout(nGuessHeader, guess))
            throw CImportError(Tr("请指定日期列和金额列。"));
        st = CTableReader::ReadMapped(source, nGuessHeader, guess);
        st.bGuessedLayout = true;
    }
    if (!m_bXlsx)
        st.strEncoding = CTextDecoder::Name(m_eEncoding);
    return st;
}
