#include "cqifreader.h"

#include "cimporterror.h"
#include "ctablereader.h"

#include <QCoreApplication>
#include <QMultiHash>
#include <QRegularExpression>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CQifReader", sz);
}

struct SPending {
    SStatementRow row;
    QString strDate, strAmount; // as written, for the message of a bad value
    int nDateLine = 0, nAmountLine = 0;
    bool bHas = false;
    bool bInSplits = false; // past the first split line
};

// QIF dates: "12/31/2024", "12/31'24", "1/ 5/24", "2024-12-31"; day-first files are told
// apart by a first part above 12 somewhere in the file.
QDate QifDate(QString s, bool bDayFirst) {
    s = s.trimmed();
    s.replace(QLatin1Char('\''), QLatin1Char('/')).remove(QLatin1Char(' '));
    const QStringList parts = s.split(QRegularExpression(QStringLiteral("[/.-]")));
    if (parts.size() != 3)
        return QDate();
    bool b1 = false, b2 = false, b3 = false;
    const int n1 = parts[0].toInt(&b1), n2 = parts[1].toInt(&b2);
    int n3 = parts[2].toInt(&b3);
    if (!b1 || !b2 || !b3)
        return QDate();
    if (parts[0].size() == 4)
        return QDate(n1, n2, n3);
    if (parts[2].size() <= 2)
        n3 += n3 < 50 ? 2000 : 1900;
    return bDayFirst ? QDate(n3, n2, n1) : QDate(n3, n1, n2);
}

bool DayFirst(const QString& strText) {
    static const QRegularExpression re(QStringLiteral("^D\\s*(\\d{1,2})[/.-]"),
                                       QRegularExpression::MultilineOption);
    auto it = re.globalMatch(strText);
    while (it.hasNext())
        if (it.next().captured(1).toInt() > 12)
            return true;
    return false;
}

} // namespace

namespace {
// Some programs open the file with comment lines ("### exported by …").
bool IsComment(const QString& strLine) {
    return strLine.trimmed().startsWith(QLatin1Char('#'));
}
} // namespace

bool CQifReader::LooksLikeQif(const QString& strText) {
    QString s;
    for (const QString& line : strText.left(8192).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && !IsComment(line)) {
            s = line.trimmed();
            break;
        }
    if (s.startsWith(QChar(0xFEFF)))
        s = s.mid(1);
    return s.startsWith(QLatin1String("!Type:"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("!Account"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("!Option"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("!Clear"), Qt::CaseInsensitive);
}

SStatement CQifReader::Read(const QString& strText) {
    SStatement st;
    st.eFormat = EStatementFormat::Qif;
    const bool bDayFirst = DayFirst(strText);

    enum class EMode { None, Account, Bank, Other } eMode = EMode::None;
    bool bSawBank = false;
    QString strAccount, strNewAccount;
    SPending t;
    // Transfers written on the first side, waiting for their other half: key → count.
    QHash<QString, int> pendingMirror;

    auto finish = [&]() {
        if (!t.bHas)
            return;
        SStatementRow& r = t.row;
        r.date = QifDate(t.strDate, bDayFirst);
        if (!r.date.isValid())
            throw CImportError(t.strDate.isEmpty() ? Tr("交易没有日期（D 行）。")
                                                   : Tr("日期“%1”无效。").arg(t.strDate),
                               t.nDateLine ? t.nDateLine : r.nLine);
        std::int64_t nSigned = 0;
        if (!CTableReader::ParseCents(t.strAmount, nSigned))
            throw CImportError(t.strAmount.isEmpty() ? Tr("交易没有金额（T 行）。")
                                                     : Tr("金额“%1”无效。").arg(t.strAmount),
                               t.nAmountLine ? t.nAmountLine : r.nLine);
        r.nCents = nSigned < 0 ? -nSigned : nSigned;
        r.strAccount = strAccount;
        QString strCat = r.strCategory;
        r.strCategory.clear();
        const int nSlash = strCat.indexOf(QLatin1Char('/')); // "Category/Class"
        if (nSlash >= 0 && !strCat.startsWith(QLatin1Char('[')))
            strCat = strCat.left(nSlash);
        const bool bTransfer =
            strCat.startsWith(QLatin1Char('[')) && strCat.contains(QLatin1Char(']'));
        if (bTransfer) {
            const QString strOther = strCat.mid(1, strCat.indexOf(QLatin1Char(']')) - 1);
            if (strOther == strAccount || r.strCounterpart.compare(QLatin1String("Opening Balance"),
                                                                   Qt::CaseInsensitive) == 0) {
                r.eNotMoney = ENotMoney::Balance;
                r.strNotMoney = Tr("这是账户的期初余额，不是一笔收支。");
            } else {
                // The file's own account and the other one; the money leaves the side whose
                // balance goes down.
                r.eType = SStatementRow::EType::Transfer;
                r.strTransferTo = strOther;
                r.bTransferOut = nSigned < 0;
                const QString strFrom = nSigned < 0 ? strAccount : strOther;
                const QString strTo = nSigned < 0 ? strOther : strAccount;
                const QString strKey = QStringLiteral("%1|%2|%3|%4")
                                           .arg(r.date.toString(Qt::ISODate), strFrom, strTo)
                                           .arg(r.nCents);
                const QString strMine = strKey + QLatin1Char('|') + strAccount;
                // The other half was written in the other account's block.
                const QString strTheirs = strKey + QLatin1Char('|') + strOther;
                if (pendingMirror.value(strTheirs) > 0) {
                    --pendingMirror[strTheirs];
                    r.eNotMoney = ENotMoney::TransferHalf;
                    r.strNotMoney = Tr("这是转账的另一半，已在“%1”中计入。").arg(strOther);
                } else {
                    ++pendingMirror[strMine];
                }
            }
        } else {
            r.eType = nSigned < 0 ? SStatementRow::EType::Outlay : SStatementRow::EType::Income;
            // Kept as written: the preview takes it when it is one of the importing user's
            // categories (a file this program exported), and guesses otherwise.
            r.strCategory = strCat;
            if (nSigned == 0) {
                r.eNotMoney = ENotMoney::Zero;
                r.strNotMoney = Tr("金额为 0，没有钱款变动。");
            }
        }
        st.rows.append(r);
        t = SPending();
    };

    const QStringList lines = strText.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int nLine = i + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || IsComment(line))
            continue;
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1);
        if (line.startsWith(QLatin1Char('!'))) {
            finish();
            const QString strHead = line.trimmed();
            if (strHead.startsWith(QLatin1String("!Account"), Qt::CaseInsensitive)) {
                eMode = EMode::Account;
                strNewAccount.clear();
            } else if (strHead.startsWith(QLatin1String("!Type:"), Qt::CaseInsensitive)) {
                const QString strType = strHead.mid(6).trimmed().toLower();
                if (strType == QLatin1String("bank") || strType == QLatin1String("cash") ||
                    strType == QLatin1String("ccard") || strType == QLatin1String("oth a") ||
                    strType == QLatin1String("oth l")) {
                    eMode = EMode::Bank;
                    bSawBank = true;
                } else {
                    eMode = EMode::Other; // categories, classes, investments: not read
                }
            }
            continue;
        }
        const QChar code = line[0];
        const QString value = line.mid(1).trimmed();
        if (eMode == EMode::Account) {
            if (code == QLatin1Char('N'))
                strNewAccount = value;
            else if (code == QLatin1Char('^'))
                strAccount = strNewAccount;
            continue;
        }
        if (eMode != EMode::Bank)
            continue;
        if (code == QLatin1Char('^')) {
            finish();
            continue;
        }
        if (!t.bHas) {
            t.bHas = true;
            t.row.nLine = nLine;
        }
        switch (code.unicode()) {
        case 'D':
            // Only the transaction's own date line dates it; one among its splits does not.
            if (!t.bInSplits) {
                t.strDate = value;
                t.nDateLine = nLine;
            }
            break;
        case 'S':
        case 'E':
        case '$':
            t.bInSplits = true;
            break;
        case 'T':
        case 'U':
            if (t.strAmount.isEmpty() || code == QLatin1Char('T')) {
                t.strAmount = value;
                t.nAmountLine = nLine;
            }
            break;
        case 'P':
            t.row.strCounterpart = value;
            break;
        case 'M':
            t.row.strGoods = value;
            break;
        case 'L':
            t.row.strCategory = value;
            break;
        default:
            break; // check number, cleared flag, address, splits: the total is what moves
        }
    }
    finish();
    if (!bSawBank)
        throw CImportError(Tr("不是可读的 QIF 文件：没有 !Type:Bank、Cash 或 CCard 部分。"));
    return st;
}
