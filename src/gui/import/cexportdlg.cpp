#include "cexportdlg.h"

#include "analysis/cperiodstats.h"
#include "data/cdbexception.h"
#include "data/ctoday.h"
#include "import/cexporter.h"
#include "users/csession.h"
#include "widgets/cfilefolder.h"
#include "widgets/cmessagebox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CExportDlg::CExportDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CExportDlg"));
    setWindowTitle(tr("导出"));
    m_pFormat = new QComboBox(this);
    m_pFormat->setObjectName(QStringLiteral("1140"));
    m_pFormat->addItem(tr("QIF（其它财务软件可以导入）"));
    m_pFormat->addItem(tr("CSV（电子表格，UTF-8）"));
    m_pFrom = new QDateEdit(this);
    m_pFrom->setObjectName(QStringLiteral("1141"));
    m_pTo = new QDateEdit(this);
    m_pTo->setObjectName(QStringLiteral("1142"));
    for (QDateEdit* p : {m_pFrom, m_pTo}) {
        p->setCalendarPopup(true);
        p->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    const QString strUser = pSession->UserName();
    // The whole book by default.
    QDate first = CToday::Get(), last = CToday::Get();
    try {
        const CPeriodStats::SFigures f = CPeriodStats().Figures(strUser);
        if (f.firstDay.isValid()) {
            first = f.firstDay;
            last = std::max(f.lastDay, last);
        }
    } catch (const CDBException&) {
        // The range stays today; the export itself will report a broken book.
    }
    m_pFrom->setDate(first);
    m_pTo->setDate(last);
    m_pPath = new QLineEdit(this);
    m_pPath->setObjectName(QStringLiteral("1143"));
    m_pPath->setText(QDir::home().filePath(QStringLiteral("ledgerkin-%1.qif").arg(strUser)));
    auto* pBrowse = new QPushButton(tr("浏览(&B)…"), this);
    pBrowse->setObjectName(QStringLiteral("1144"));
    auto* pPathRow = new QHBoxLayout;
    pPathRow->addWidget(m_pPath, 1);
    pPathRow->addWidget(pBrowse);

    auto* pForm = new QFormLayout;
    pForm->addRow(tr("格式："), m_pFormat);
    pForm->addRow(tr("从："), m_pFrom);
    pForm->addRow(tr("到："), m_pTo);
    pForm->addRow(tr("文件："), pPathRow);
    auto* pBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pBox->button(QDialogButtonBox::Ok)->setText(tr("导出"));
    pBox->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    pBox->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    pBox->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pBox);
    resize(520, sizeHint().height());

    connect(pBrowse, &QPushButton::clicked, this, &CExportDlg::OnBrowse);
    connect(pBox, &QDialogButtonBox::accepted, this, &CExportDlg::OnOK);
    connect(pBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The file's ending follows the format.
    connect(m_pFormat, &QComboBox::currentIndexChanged, this, [this](int nIndex) {
        QString s = m_pPath->text();
        const QString strFrom = nIndex == 0 ? QStringLiteral(".csv") : QStringLiteral(".qif");
        if (s.endsWith(strFrom, Qt::CaseInsensitive))
            m_pPath->setText(s.left(s.size() - 4) +
                             (nIndex == 0 ? QStringLiteral(".qif") : QStringLiteral(".csv")));
    });
}

void CExportDlg::Set(bool bQif, const QDate& from, const QDate& to, const QString& strPath) {
    m_pFormat->setCurrentIndex(bQif ? 0 : 1);
    m_pFrom->setDate(from);
    m_pTo->setDate(to);
    m_pPath->setText(strPath);
}

void CExportDlg::OnBrowse() {
    const bool bQif = m_pFormat->currentIndex() == 0;
    const QString strPath =
        QFileDialog::getSaveFileName(this, tr("导出到"), CFileFolder::StartPath(m_pPath->text()),
                                     bQif ? tr("QIF 文件 (*.qif)") : tr("CSV 文件 (*.csv)"));
    CFileFolder::Remember(strPath);
    if (!strPath.isEmpty())
        m_pPath->setText(strPath);
}

void CExportDlg::OnOK() {
    const QString strPath = m_pPath->text().trimmed();
    if (strPath.isEmpty()) {
        CMessageBox::ShowMessage(tr("请指定要写入的文件。"), this);
        return;
    }
    if (m_pFrom->date() > m_pTo->date()) {
        CMessageBox::ShowMessage(tr("开始日期晚于结束日期。"), this);
        return;
    }
    const auto eFormat =
        m_pFormat->currentIndex() == 0 ? CExporter::EFormat::Qif : CExporter::EFormat::Csv;
    CExporter::SCount count;
    QString strError;
    if (!CMessageBox::Guarded(this, [&] {
            strError = CExporter::Write(strPath, m_pSession->UserName(), eFormat, m_pFrom->date(),
                                        m_pTo->date(), &count);
        }))
        return;
    if (!strError.isEmpty()) {
        CMessageBox::ShowMessage(strError, this);
        return;
    }
    CMessageBox::ShowInfo(tr("已导出 %1 条收支记录和 %2 笔转账到\n%3")
                              .arg(count.nRecords)
                              .arg(count.nTransfers)
                              .arg(QDir::toNativeSeparators(strPath)),
                          this);
    accept();
}
