#include "cimportfilepage.h"

#include "cimportprogress.h"
#include "cimportwizard.h"
#include "cpreviewmodel.h"
#include "data/cdbexception.h"
#include "import/cimporterror.h"
#include "import/cimportjob.h"
#include "import/ctablereader.h"
#include "widgets/cmessagebox.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const EStatementFormat kFormats[] = {EStatementFormat::Alipay, EStatementFormat::Wechat,
                                     EStatementFormat::Qif, EStatementFormat::Ofx,
                                     EStatementFormat::Csv};
} // namespace

CImportFilePage::CImportFilePage(CImportWizard* pWizard) : m_pWizard(pWizard) {
    setObjectName(QStringLiteral("CImportFilePage"));
    setTitle(tr("第一步：选择帐单文件"));
    setSubTitle(tr("支付宝、微信支付导出的帐单，银行的 OFX/QFX 对帐单，其它财务软件的 QIF 文件，"
                   "或任意 CSV 文件。"));

    m_pPath = new QLineEdit(this);
    m_pPath->setObjectName(QString::number(IDC_PATH));
    auto* pBrowse = new QPushButton(tr("浏览(&B)…"), this);
    pBrowse->setObjectName(QString::number(IDC_BROWSE));
    auto* pPathRow = new QHBoxLayout;
    pPathRow->addWidget(m_pPath, 1);
    pPathRow->addWidget(pBrowse);

    m_pFormat = new QComboBox(this);
    m_pFormat->setObjectName(QString::number(IDC_FORMAT));
    for (EStatementFormat e : kFormats)
        m_pFormat->addItem(CStatementFile::FormatName(e), int(e));
    m_pDetected = new QLabel(this);
    m_pDetected->setObjectName(QString::number(IDC_DETECTED));
    m_pEncoding = new QComboBox(this);
    m_pEncoding->setObjectName(QString::number(IDC_ENCODING));
    for (auto e : {CTextDecoder::EEncoding::Auto, CTextDecoder::EEncoding::Utf8,
                   CTextDecoder::EEncoding::Gb18030})
        m_pEncoding->addItem(CTextDecoder::Name(e), int(e));
    m_pAccount = new QComboBox(this);
    m_pAccount->setObjectName(QString::number(IDC_ACCOUNT));
    CMessageBox::Guarded(this, [&] { m_pAccount->addItems(m_pWizard->m_importer.Accounts()); });

    auto* pForm = new QFormLayout;
    pForm->addRow(tr("文件："), pPathRow);
    pForm->addRow(tr("文件类型："), m_pFormat);
    pForm->addRow(QString(), m_pDetected);
    pForm->addRow(tr("文字编码："), m_pEncoding);
    pForm->addRow(tr("导入到帐户："), m_pAccount);

    m_pMapping = new QGroupBox(tr("各列的含义（其它 CSV）"), this);
    m_pMapping->setObjectName(QString::number(IDC_MAPPING));
    m_pHeader = new QSpinBox(m_pMapping);
    m_pHeader->setObjectName(QString::number(IDC_HEADER));
    m_pHeader->setRange(1, 1000000);
    auto* pMapForm = new QFormLayout(m_pMapping);
    pMapForm->addRow(tr("表头所在行："), m_pHeader);
    const QStringList labels = {
        tr("日期："), tr("金额（负数为支出）："), tr("收入金额："), tr("支出金额："),
        tr("备注："), tr("交易对方："),           tr("类别：")};
    for (int i = 0; i < labels.size(); ++i) {
        auto* pCombo = new QComboBox(m_pMapping);
        pCombo->setObjectName(QString::number(IDC_FIRST_COLUMN + i));
        m_columns << pCombo;
        pMapForm->addRow(labels[i], pCombo);
    }
    m_pDateFormat = new QComboBox(m_pMapping);
    m_pDateFormat->setObjectName(QString::number(IDC_DATE_FORMAT));
    m_pDateFormat->addItems(CTableReader::DateFormats());
    pMapForm->addRow(tr("日期格式："), m_pDateFormat);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pMapping);
    pLayout->addStretch(1);

    connect(pBrowse, &QPushButton::clicked, this, &CImportFilePage::OnBrowse);
    connect(m_pPath, &QLineEdit::editingFinished, this, &CImportFilePage::LoadFile);
    connect(m_pEncoding, &QComboBox::activated, this, [this] {
        m_strLoaded.clear();
        LoadFile();
    });
    connect(m_pFormat, &QComboBox::currentIndexChanged, this,
            &CImportFilePage::UpdateMappingVisible);
    connect(m_pHeader, &QSpinBox::valueChanged, this, &CImportFilePage::FillMapping);
    UpdateMappingVisible();
}

void CImportFilePage::SetPath(const QString& strPath) {
    m_pPath->setText(strPath);
    LoadFile();
}

void CImportFilePage::OnBrowse() {
    const QString strPath =
        QFileDialog::getOpenFileName(this, tr("选择帐单文件"), m_pPath->text(),
                                     tr("帐单文件 (*.csv *.xlsx *.qif *.ofx *.qfx);;所有文件 (*)"));
    if (!strPath.isEmpty())
        SetPath(strPath);
}

void CImportFilePage::LoadFile() {
    const QString strPath = m_pPath->text().trimmed();
    const auto eEncoding = CTextDecoder::EEncoding(m_pEncoding->currentData().toInt());
    const QString strKey = strPath + QLatin1Char('|') + QString::number(int(eEncoding));
    if (strPath.isEmpty() || strKey == m_strLoaded)
        return;
    m_strLoaded = strKey;
    m_pWizard->m_pFile.reset();
    m_pDetected->clear();

    auto pFile = std::make_shared<CStatementFile>();
    auto pError = std::make_shared<QString>();
    CImportProgress progress(tr("正在读取文件…"), this);
    const bool bDone = progress.RunOffThread([pFile, pError, strPath, eEncoding] {
        try {
            pFile->Load(strPath, eEncoding);
        } catch (const CImportError& e) {
            *pError = e.m_strMessage;
        }
    });
    if (!bDone) {
        m_strLoaded.clear();
        return;
    }
    if (!pError->isEmpty()) {
        m_pDetected->setText(tr("无法读取：%1").arg(*pError));
        CMessageBox::ShowMessage(*pError, this);
        return;
    }
    m_pWizard->m_pFile = pFile;
    m_pFormat->setCurrentIndex(m_pFormat->findData(int(pFile->Detected())));
    QString strText = tr("已识别为：%1").arg(CStatementFile::FormatName(pFile->Detected()));
    if (!pFile->IsXlsx() && pFile->Detected() != EStatementFormat::Ofx)
        strText += tr("，编码 %1").arg(CTextDecoder::Name(pFile->Encoding()));
    m_pDetected->setText(strText);

    // A CSV of unknown layout: its header row and the mapping remembered for that layout.
    const int nHeader = pFile->GuessedHeader();
    const TTable& table = pFile->Table();
    m_pHeader->blockSignals(true);
    m_pHeader->setValue(nHeader >= 0 ? table[nHeader].nLine
                                     : (table.isEmpty() ? 1 : table[0].nLine));
    m_pHeader->blockSignals(false);
    FillMapping();
    UpdateMappingVisible();
}

void CImportFilePage::FillMapping() {
    QStringList header;
    const auto pFile = m_pWizard->m_pFile;
    int nHeader = -1;
    if (pFile) {
        const TTable& table = pFile->Table();
        for (int i = 0; i < table.size() && nHeader < 0; ++i)
            if (table[i].nLine >= m_pHeader->value())
                nHeader = i;
        if (nHeader >= 0)
            header = table[nHeader].cells;
    }
    for (QComboBox* pCombo : m_columns) {
        pCombo->clear();
        pCombo->addItem(tr("（无）"), -1);
        for (int i = 0; i < header.size(); ++i)
            pCombo->addItem(header[i].isEmpty() ? tr("第 %1 列").arg(i + 1) : header[i], i);
    }
    SColumnMapping m;
    bool bRemembered = false;
    if (nHeader >= 0) {
        try {
            bRemembered = m_pWizard->m_importer.LoadMapping(pFile->LayoutKey(nHeader), m);
        } catch (const CDBException&) {
            bRemembered = false; // only a convenience: the user maps the columns again
        }
    }
    if (!bRemembered) {
        // A first guess from the usual column names.
        auto find = [&header](std::initializer_list<const char*> names) {
            for (int i = 0; i < header.size(); ++i)
                for (const char* n : names)
                    if (header[i].contains(QString::fromUtf8(n)))
                        return i;
            return -1;
        };
        m.nDate = find({"日期", "时间", "Date", "date"});
        m.nIn = find({"收入"});
        m.nOut = find({"支出"});
        if (m.nIn < 0 || m.nOut < 0) {
            m.nIn = m.nOut = -1;
            m.nAmount = find({"金额", "Amount", "amount"});
        }
        m.nNote = find({"摘要", "备注", "说明", "用途", "Memo", "memo"});
        m.nCounterpart = find({"对方", "Payee", "payee"});
        m.nCategory = find({"类别", "分类", "Category"});
        m.strDateFormat = QStringLiteral("yyyy-MM-dd");
        if (nHeader >= 0 && nHeader + 1 < pFile->Table().size() && m.nDate >= 0) {
            const QString strSample = pFile->Table()[nHeader + 1].cells.value(m.nDate);
            for (const QString& f : CTableReader::DateFormats())
                if (CTableReader::ParseDate(strSample, f).isValid()) {
                    m.strDateFormat = f;
                    break;
                }
        }
    }
    ShowMapping(m);
}

void CImportFilePage::ShowMapping(const SColumnMapping& m) {
    const int values[] = {m.nDate, m.nAmount, m.nIn, m.nOut, m.nNote, m.nCounterpart, m.nCategory};
    for (int i = 0; i < m_columns.size(); ++i)
        m_columns[i]->setCurrentIndex(std::max(0, m_columns[i]->findData(values[i])));
    const int nFormat = m_pDateFormat->findText(m.strDateFormat);
    m_pDateFormat->setCurrentIndex(std::max(0, nFormat));
}

SColumnMapping CImportFilePage::Mapping() const {
    SColumnMapping m;
    int* targets[] = {&m.nDate, &m.nAmount,      &m.nIn,      &m.nOut,
                      &m.nNote, &m.nCounterpart, &m.nCategory};
    for (int i = 0; i < m_columns.size(); ++i)
        *targets[i] = m_columns[i]->currentData().toInt();
    if (m.nAmount >= 0)
        m.nIn = m.nOut = -1;
    m.strDateFormat = m_pDateFormat->currentText();
    return m;
}

void CImportFilePage::UpdateMappingVisible() {
    m_pMapping->setVisible(EStatementFormat(m_pFormat->currentData().toInt()) ==
                           EStatementFormat::Csv);
}

bool CImportFilePage::validatePage() {
    LoadFile();
    const auto pFile = m_pWizard->m_pFile;
    if (!pFile) {
        CMessageBox::ShowMessage(m_pPath->text().trimmed().isEmpty() ? tr("请先选择帐单文件。")
                                                                     : tr("文件没有读取成功。"),
                                 this);
        return false;
    }
    if (m_pAccount->currentText().isEmpty()) {
        CMessageBox::ShowMessage(tr("请先建立一个帐户。"), this);
        return false;
    }
    const auto eFormat = EStatementFormat(m_pFormat->currentData().toInt());
    const SColumnMapping mapping = Mapping();
    int nHeader = -1;
    for (int i = 0; i < pFile->Table().size() && nHeader < 0; ++i)
        if (pFile->Table()[i].nLine >= m_pHeader->value())
            nHeader = i;

    auto pStatement = std::make_shared<SStatement>();
    auto pError = std::make_shared<QString>();
    CImportProgress progress(tr("正在读取帐单…"), this);
    if (!progress.RunOffThread([pFile, pStatement, pError, eFormat, mapping, nHeader] {
            try {
                *pStatement = pFile->Read(eFormat, mapping, nHeader);
            } catch (const CImportError& e) {
                *pError = e.m_strMessage;
            }
        }))
        return false;
    if (!pError->isEmpty()) {
        CMessageBox::ShowMessage(tr("%1\n没有导入任何记录。").arg(*pError), this);
        return false;
    }
    if (pStatement->rows.isEmpty()) {
        CMessageBox::ShowMessage(tr("文件中没有交易记录。"), this);
        return false;
    }
    try {
        if (eFormat == EStatementFormat::Csv)
            m_pWizard->m_importer.SaveMapping(pFile->LayoutKey(nHeader), mapping);
        m_pWizard->m_rules = m_pWizard->m_importer.Rules();
        m_pWizard->m_strAccount = m_pAccount->currentText();
        // The duplicate search reads the book: on the job's own connection, off this thread.
        auto pRows = std::make_shared<QVector<SPreviewRow>>();
        CImportJob job(m_pWizard->m_strUser, m_pWizard->m_nSessionUser);
        job.Start([pStatement, pRows, strAccount = m_pWizard->m_strAccount,
                   rules = m_pWizard->m_rules](CImporter& importer,
                                               const CImporter::FProgress& progress) {
            importer.Preview(*pStatement, strAccount, rules, *pRows, progress);
        });
        CImportProgress preview(tr("正在检查重复和类别…"), this);
        if (!preview.Run(job))
            return false;
        job.RethrowError();
        m_pWizard->m_statement = std::move(*pStatement);
        m_pWizard->m_pModel->SetRows(std::move(*pRows), m_pWizard->m_importer.Accounts());
    } catch (const CDBException& e) {
        CMessageBox::ShowDBError(e, this);
        return false;
    }
    return true;
}
