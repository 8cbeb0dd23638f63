#include "cofxreader.h"

#include "cimporterror.h"
#include "data/cmoney.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QLibrary>
#include <QMutex>
#include <QRegularExpression>
#include <libofx/libofx.h>
#include <type_traits>

namespace {

// The day a transaction's block prints, YYYYMMDD of DTPOSTED (else DTUSER): the bank's
// day, whatever zone the time after it names and whatever zone this computer is in.
struct SPrinted {
    QString strFitId;
    QDate day;
};

struct SOfxParse {
    SStatement st;
    int nStatements = 0;
    int nSeen = 0;
    QVector<SPrinted> printed; // in the file's order
    QHash<QString, int> byFitId;
};

QVector<SPrinted> PrintedDays(const QByteArray& bytes) {
    QVector<SPrinted> list;
    const QString text = QString::fromLatin1(bytes);
    static const QRegularExpression block(
        QStringLiteral("<(STMTTRN)>(.*?)(?=</?STMTTRN>|</BANKTRANLIST>|<STMTTRN>|$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression posted(QStringLiteral("<DTPOSTED>\\s*(\\d{8})"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression user(QStringLiteral("<DTUSER>\\s*(\\d{8})"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression fitid(QStringLiteral("<FITID>\\s*([^<\\r\\n]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    auto it = block.globalMatch(text);
    while (it.hasNext()) {
        const QString strBlock = it.next().captured(2);
        QRegularExpressionMatch m = posted.match(strBlock);
        if (!m.hasMatch())
            m = user.match(strBlock);
        SPrinted p;
        if (m.hasMatch())
            p.day = QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd"));
        const QRegularExpressionMatch f = fitid.match(strBlock);
        if (f.hasMatch())
            p.strFitId = f.captured(1).trimmed();
        list.append(p);
    }
    return list;
}

QString Text(const char* sz, int bValid) {
    return bValid ? QString::fromUtf8(sz).trimmed() : QString();
}

int OnTransaction(const struct OfxTransactionData data, void* pUser) {
    auto* p = static_cast<SOfxParse*>(pUser);
    ++p->nSeen;
    SStatementRow r;
    r.nLine = p->nSeen; // libofx gives no line numbers: the transaction's position stands in
    if (!data.amount_valid || !(data.date_posted_valid || data.date_initiated_valid))
        return 0;
    const QString strFitId = Text(data.fi_id, data.fi_id_valid);
    // The printed day of this transaction's block: the block at its place when the FITIDs
    // agree, else the block of its FITID, else the block at its place.
    const int nPlace = p->nSeen - 1 < p->printed.size() ? p->nSeen - 1 : -1;
    int nBlock = nPlace;
    if (nPlace >= 0 && p->printed[nPlace].strFitId != strFitId)
        nBlock = p->byFitId.value(strFitId, nPlace);
    if (nBlock >= 0 && p->printed[nBlock].day.isValid()) {
        r.date = p->printed[nBlock].day;
    } else {
        const time_t t = data.date_posted_valid ? data.date_posted : data.date_initiated;
        r.date = QDateTime::fromSecsSinceEpoch(qint64(t), Qt::UTC).date();
    }
    const std::int64_t nSigned = CMoney::ToCents(data.amount);
    r.nCents = nSigned < 0 ? -nSigned : nSigned;
    r.eType = nSigned < 0 ? SStatementRow::EType::Outlay : SStatementRow::EType::Income;
    if (nSigned == 0) {
        r.eNotMoney = ENotMoney::Zero;
        r.strNotMoney = QCoreApplication::translate("COfxReader", "金额为 0，没有钱款变动。");
    }
    r.strCounterpart = Text(data.name, data.name_valid);
    r.strGoods = Text(data.memo, data.memo_valid);
    if (!strFitId.isEmpty())
        r.strExtId = Text(data.account_id, data.account_id_valid) + QLatin1Char(':') + strFitId;
    p->st.rows.append(r);
    return 0;
}

int OnStatement(const struct OfxStatementData, void* pUser) {
    ++static_cast<SOfxParse*>(pUser)->nStatements;
    return 0;
}

// libofx is loaded when the first OFX file is read, not when the program starts: it brings
// an SGML parser (OpenSP) whose loading costs start-up time and about 2 MB that a session
// without OFX files never needs. Loaded once and kept.
struct SLibOfx {
    decltype(&libofx_get_new_context) fnNewContext = nullptr;
    decltype(&libofx_free_context) fnFreeContext = nullptr;
    decltype(&ofx_set_transaction_cb) fnSetTransactionCb = nullptr;
    decltype(&ofx_set_statement_cb) fnSetStatementCb = nullptr;
    decltype(&libofx_proc_file) fnProcFile = nullptr;
    QList<int*> messageSwitches; // libofx's ofx_*_msg: what it writes to stderr
    QString strError;            // why it could not be used, empty when it can
};

const SLibOfx& LibOfx() {
    static const SLibOfx s_lib = [] {
        SLibOfx lib;
        QLibrary library(QStringLiteral("ofx"), 7);
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library.load()) {
            lib.strError = library.errorString();
            return lib;
        }
        const auto resolve = [&](auto& fn, const char* szName) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(library.resolve(szName));
            return fn != nullptr;
        };
        bool bOk = resolve(lib.fnNewContext, "libofx_get_new_context") &&
                   resolve(lib.fnFreeContext, "libofx_free_context") &&
                   resolve(lib.fnSetTransactionCb, "ofx_set_transaction_cb") &&
                   resolve(lib.fnSetStatementCb, "ofx_set_statement_cb") &&
                   resolve(lib.fnProcFile, "libofx_proc_file");
        for (const char* szSwitch :
             {"ofx_PARSER_msg", "ofx_DEBUG_msg", "ofx_DEBUG1_msg", "ofx_DEBUG2_msg",
              "ofx_DEBUG3_msg", "ofx_DEBUG4_msg", "ofx_DEBUG5_msg", "ofx_STATUS_msg",
              "ofx_INFO_msg", "ofx_WARNING_msg", "ofx_ERROR_msg"}) {
            auto* pSwitch = reinterpret_cast<int*>(library.resolve(szSwitch));
            bOk = bOk && pSwitch;
            lib.messageSwitches.append(pSwitch);
        }
        if (!bOk)
            lib.strError = library.errorString();
        return lib;
    }();
    return s_lib;
}

} // namespace

bool COfxReader::LooksLikeOfx(const QByteArray& head) {
    const QByteArray s = head.left(4096).trimmed().toUpper();
    return s.startsWith("OFXHEADER") || s.contains("<OFX>") ||
           (s.startsWith("<?XML") && s.contains("<?OFX"));
}

SStatement COfxReader::Read(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || !LooksLikeOfx(file.read(4096)))
        throw CImportError(QCoreApplication::translate("COfxReader", "不是 OFX 文件。"));
    file.seek(0);
    const QVector<SPrinted> printed = PrintedDays(file.readAll());
    file.close();

    // libofx keeps global state and talks on stderr unless told not to: one parse at a time.
    static QMutex s_mutex;
    QMutexLocker lock(&s_mutex);
    const SLibOfx& ofx = LibOfx();
    if (!ofx.strError.isEmpty())
        throw CImportError(
            QCoreApplication::translate("COfxReader",
                                        "无法读取 OFX 文件：找不到 libofx 库（请安装 libofx7）。") +
            QLatin1Char('\n') + ofx.strError);
    for (int* pSwitch : ofx.messageSwitches)
        *pSwitch = false;
    SOfxParse parse;
    parse.st.eFormat = EStatementFormat::Ofx;
    parse.printed = printed;
    for (int i = 0; i < printed.size(); ++i)
        if (!printed[i].strFitId.isEmpty() && !parse.byFitId.contains(printed[i].strFitId))
            parse.byFitId.insert(printed[i].strFitId, i);
    LibofxContextPtr ctx = ofx.fnNewContext();
    ofx.fnSetTransactionCb(ctx, OnTransaction, &parse);
    ofx.fnSetStatementCb(ctx, OnStatement, &parse);
    const QByteArray path = QFile::encodeName(strPath);
    ofx.fnProcFile(ctx, path.constData(), OFX);
    ofx.fnFreeContext(ctx);
    if (parse.nStatements == 0 && parse.st.rows.isEmpty())
        throw CImportError(
            QCoreApplication::translate("COfxReader", "OFX 文件中没有可读的对账单。"));
    if (parse.st.rows.size() != parse.nSeen)
        throw CImportError(
            QCoreApplication::translate("COfxReader", "OFX 文件中第 %1 笔交易缺少日期或金额。")
                .arg(parse.st.rows.isEmpty() ? 1 : parse.st.rows.size() + 1));
    return parse.st;
}
