#include "cimportfilepage.h"

#include "cimportprogress.h"
#include "cimportwizard.h"
#include "cpreviewmodel.h"
#include "data/cdbexception.h"
#include "import/cimporterror.h"
#include "import/cimportjob.h"
#include "import/ctablereader.h"
#include "users/csession.h"
#include "widgets/cfilefolder.h"
#include "widgets/cmessagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const EStatementFormat kFormats[] = {EStatementFormat::Alipay, EStatementFormat::Wechat,
                                     EStatementFormat::Qif, EStatementFormat::Ofx,
                                     EStatementFormat::Csv};
} // namespace

CImportFilePage::CImportFilePage(CImportWizard* pWizard) : m_pWizard(pWizard) {
    setObjectName(QStringLiteral("CImportFilePage"));
    setTitle(tr("第一步：选择账单文件"));
    setSubTitle(tr("支付宝、微信支付导出的账单，银行的 OFX/QFX 对账单，其它财务软件的 QIF 文件，"
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
    pForm->addRow(tr("导入到账户："), m_pAccount);

    m_pSheet = new QComboBox(this);
    m_pSheet->setObjectName(QString::number(IDC_SHEET));
    m_pSheetLabel = new QLabel(tr("工作表："), this);
    pForm->addRow(m_pSheetLabel, m_pSheet);

    // The pickers in two columns, so the page fits a small screen.
    m_pMapping = new QGroupBox(tr("各列的含义（其它 CSV）"), this);
    m_pMapping->setObjectName(QString::number(IDC_MAPPING));
    m_pHeader = new QSpinBox(m_pMapping);
    m_pHeader->setObjectName(QString::number(IDC_HEADER));
    m_pHeader->setRange(1, 1000000);
    m_pNoHeader = new QCheckBox(tr("第一行就是数据（没有表头）"), m_pMapping);
    m_pNoHeader->setObjectName(QString::number(IDC_NO_HEADER));
    m_pGuessed = new QLabel(m_pMapping);
    m_pGuessed->setObjectName(QString::number(IDC_GUESSED));
    m_pGuessed->setWordWrap(true);
    auto* pGrid = new QGridLayout(m_pMapping);
    pGrid->addWidget(new QLabel(tr("表头所在行："), m_pMapping), 0, 0);
    auto* pHeaderRow = new QHBoxLayout;
    pHeaderRow->addWidget(m_pHeader);
    pHeaderRow->addWidget(m_pNoHeader, 1);
    pGrid->addLayout(pHeaderRow, 0, 1, 1, 3);
    const QStringList labels = {
        tr("日期："), tr("金额（负数为支出）："), tr("收入金额："), tr("支出金额："),
        tr("备注："), tr("交易对方："),           tr("类别："),     tr("收/支（收入、支出）：")};
    for (int i = 0; i < labels.size(); ++i) {
        auto* pCombo = new QComboBox(m_pMapping);
        pCombo->setObjectName(
            QString::number(i < 7 ? int(IDC_FIRST_COLUMN) + i : int(IDC_DIRECTION)));
        pCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        pCombo->setMinimumContentsLength(14);
        m_columns << pCombo;
        pGrid->addWidget(new QLabel(labels[i], m_pMapping), 1 + i / 2, (i % 2) * 2);
        pGrid->addWidget(pCombo, 1 + i / 2, (i % 2) * 2 + 1);
        connect(pCombo, &QComboBox::activated, this, [this] {
            m_bGuessed = false;
            m_pGuessed->clear();
        });
    }
    m_pDateFormat = new QComboBox(m_pMapping);
    m_pDateFormat->setObjectName(QString::number(IDC_DATE_FORMAT));
    m_pDateFormat->addItems(CTableReader::DateFormats());
    pGrid->addWidget(new QLabel(tr("日期格式："), m_pMapping), 5, 0);
    pGrid->addWidget(m_pDateFormat, 5, 1);
    pGrid->addWidget(m_pGuessed, 5, 2, 1, 2);
    pGrid->setColumnStretch(1, 1);
    pGrid->setColumnStretch(3, 1);

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
    connect(m_pNoHeader, &QCheckBox::toggled, this, [this](bool bNone) {
        m_pHeader->setEnabled(!bNone);
        FillMapping();
    });
    connect(m_pSheet, &QComboBox::activated, this, [this] { LoadFile(); });
    UpdateMappingVisible();
}

void CImportFilePage::SetPath(const QString& strPath) {
    m_pPath->setText(strPath);
    LoadFile();
}

void CImportFilePage::OnBrowse() {
    const QString strPath = QFileDialog::getOpenFileName(
        this, tr("选择账单文件"), CFileFolder::StartPath(m_pPath->text()),
        tr("账单文件 (*.csv *.xlsx *.qif *.ofx *.qfx);;所有文件 (*)"));
    CFileFolder::Remember(strPath);
    if (!strPath.isEmpty())
        SetPath(strPath);
}

void CImportFilePage::LoadFile() {
    const QString strPath = m_pPath->text().trimmed();
    const auto eEncoding = CTextDecoder::EEncoding(m_pEncoding->currentData().toInt());
    // The sheet chosen applies to the file it was chosen for.
    const bool bSameFile = m_strLoaded.section(QLatin1Char('|'), 0, 0) == strPath;
    const int nSheet = bSameFile && m_pSheet->count() > 1 ? m_pSheet->currentIndex() : -1;
    const QString strKey = strPath + QLatin1Char('|') + QString::number(int(eEncoding)) +
                           QLatin1Char('|') + QString::number(nSheet);
    if (strPath.isEmpty() || strKey == m_strLoaded)
        return;
    m_strLoaded = strKey;
    m_pWizard->m_pFile.reset();
    m_pDetected->clear();

    auto pFile = std::make_shared<CStatementFile>();
    auto pError = std::make_shared<QString>();
    CImportProgress progress(tr("正在读取文件…"), this);
    const bool bDone = progress.RunOffThread([pFile, pError, strPath, eEncoding, nSheet] {
        try {
            pFile->Load(strPath, eEncoding, nSheet);
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

    m_pSheet->clear();
    m_pSheet->addItems(pFile->Sheets());
    m_pSheet->setCurrentIndex(pFile->Sheet());
    m_pSheet->setVisible(pFile->Sheets().size() > 1);
    m_pSheetLabel->setVisible(pFile->Sheets().size() > 1);

    // A CSV of unknown layout: its header row (or none: the first row is a transaction) and
    // the mapping remembered for that layout, else the guessed one.
    int nHeader = -1;
    SColumnMapping guess;
    pFile->GuessLayout(nHeader, guess);
    const TTable& table = pFile->Table();
    {
        const QSignalBlocker headerBlocker(m_pHeader);
        const QSignalBlocker noHeaderBlocker(m_pNoHeader);
        m_pNoHeader->setChecked(nHeader < 0 && !table.isEmpty());
        m_pHeader->setEnabled(!m_pNoHeader->isChecked());
        m_pHeader->setValue(nHeader >= 0 ? table[nHeader].nLine
                                         : (table.isEmpty() ? 1 : table[0].nLine));
    }
    FillMapping();
    UpdateMappingVisible();
}

int CImportFilePage::HeaderIndex() const {
    const auto pFile = m_pWizard->m_pFile;
    if (!pFile || m_pNoHeader->isChecked())
        return -1;
    const TTable& table = pFile->Table();
    for (int i = 0; i < table.size(); ++i)
        if (table[i].nLine >= m_pHeader->value())
            return i;
    return -1;
}

void CImportFilePage::FillMapping() {
    const auto pFile = m_pWizard->m_pFile;
    const int nHeader = HeaderIndex();
    QStringList header, sample;
    if (pFile) {
        const TTable& table = pFile->Table();
        if (nHeader >= 0)
            header = table[nHeader].cells;
        // Each column's example: its first filled cell among the first rows below the header.
        const int nEnd = int(std::min<qsizetype>(table.size(), nHeader + 21));
        if (nHeader >= 0 || m_pNoHeader->isChecked())
            for (int i = nHeader + 1; i < nEnd; ++i)
                for (int c = 0; c < table[i].cells.size(); ++c) {
                    while (sample.size() <= c)
                        sample << QString();
                    if (sample[c].isEmpty())
                        sample[c] = table[i].cells[c];
                }
    }
    const int nWidth = int(std::max(header.size(), sample.size()));
    for (QComboBox* pCombo : m_columns) {
        pCombo->clear();
        pCombo->addItem(tr("（无）"), -1);
        // "第 3 列：金额（如 35.50）": where the column is, its name, and what it holds.
        for (int i = 0; i < nWidth; ++i) {
            QString strText = tr("第 %1 列").arg(i + 1);
            if (!header.value(i).isEmpty())
                strText += tr("：%1").arg(header[i]);
            const QString strExample = sample.value(i).left(16);
            if (!strExample.isEmpty())
                strText += tr("（如 %1）").arg(strExample);
            pCombo->addItem(strText, i);
        }
    }
    SColumnMapping m;
    bool bRemembered = false;
    if (pFile && (nHeader >= 0 || m_pNoHeader->isChecked())) {
        try {
            bRemembered = m_pWizard->m_importer.LoadMapping(pFile->LayoutKey(nHeader), m);
        } catch (const CDBException&) {
            bRemembered = false; // only a convenience: the user maps the columns again
        }
    }
    if (!bRemembered && pFile) {
        int nGuessHeader = -1;
        pFile->GuessLayout(nGuessHeader, m);
        if (nGuessHeader != nHeader) {
            // The user chose another header line: guess the columns from that one.
            TTable table = pFile->Table();
            if (nHeader > 0)
                table.remove(0, nHeader);
            int nIgnored = -1;
            CTableReader::GuessLayout(table, nIgnored, m);
        }
    }
    m_bGuessed = !bRemembered;
    m_pGuessed->setText(m_bGuessed ? tr("列是猜的，请核对。") : tr("按上次核对过的各列读取。"));
    ShowMapping(m);
}

void CImportFilePage::ShowMapping(const SColumnMapping& m) {
    const int values[] = {m.nDate, m.nAmount,      m.nIn,       m.nOut,
                          m.nNote, m.nCounterpart, m.nCategory, m.nDirection};
    for (int i = 0; i < m_columns.size(); ++i)
        m_columns[i]->setCurrentIndex(std::max(0, m_columns[i]->findData(values[i])));
    const int nFormat = m_pDateFormat->findText(m.strDateFormat);
    m_pDateFormat->setCurrentIndex(std::max(0, nFormat));
}

SColumnMapping CImportFilePage::Mapping() const {
    SColumnMapping m;
    int* targets[] = {&m.nDate, &m.nAmount,      &m.nIn,       &m.nOut,
                      &m.nNote, &m.nCounterpart, &m.nCategory, &m.nDirection};
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
        CMessageBox::ShowMessage(m_pPath->text().trimmed().isEmpty() ? tr("请先选择账单文件。")
                                                                     : tr("文件没有读取成功。"),
                                 this);
        return false;
    }
    if (m_pAccount->currentText().isEmpty()) {
        CMessageBox::ShowMessage(tr("请先建立一个账户。"), this);
        return false;
    }
    const auto eFormat = EStatementFormat(m_pFormat->currentData().toInt());
    const SColumnMapping mapping = Mapping();
    const int nHeader = HeaderIndex();
    const bool bGuessed = m_bGuessed && eFormat == EStatementFormat::Csv;

    auto pStatement = std::make_shared<SStatement>();
    auto pError = std::make_shared<QString>();
    CImportProgress progress(tr("正在读取账单…"), this);
    if (!progress.RunOffThread([pFile, pStatement, pError, eFormat, mapping, nHeader, bGuessed] {
            try {
                *pStatement = pFile->Read(eFormat, mapping, nHeader);
                pStatement->bGuessedLayout = pStatement->bGuessedLayout || bGuessed;
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
    bool bRead = false;
    if (!CMessageBox::Guarded(this, [&] {
            // A mapping is remembered once the user stands by it: chosen by hand here, or a
            // guess confirmed on the preview page.
            m_pWizard->m_strLayoutKey.clear();
            if (eFormat == EStatementFormat::Csv) {
                m_pWizard->m_strLayoutKey = pFile->LayoutKey(nHeader);
                m_pWizard->m_mapping = mapping;
                if (!bGuessed)
                    m_pWizard->m_importer.SaveMapping(m_pWizard->m_strLayoutKey, mapping);
            }
            m_pWizard->m_rules = m_pWizard->m_importer.Rules();
            m_pWizard->m_strAccount = m_pAccount->currentText();
            // The duplicate search reads the book: on the job's own connection, off this thread.
            auto pRows = std::make_shared<CPreviewRows>();
            CImportJob job(m_pWizard->m_pSession->UserName(), m_pWizard->m_pSession->UserId());
            job.Start([pStatement, pRows, strAccount = m_pWizard->m_strAccount,
                       rules = m_pWizard->m_rules](CImporter& importer,
                                                   const CImporter::FProgress& progress) {
                importer.Preview(std::move(*pStatement), strAccount, rules, *pRows, progress);
            });
            CImportProgress preview(tr("正在检查重复和类别…"), this);
            if (!preview.Run(job))
                return;
            job.RethrowError();
            m_pWizard->m_statement = std::move(*pStatement);
            m_pWizard->m_pModel->SetRules(m_pWizard->m_rules);
            m_pWizard->m_pModel->SetRows(std::move(*pRows), m_pWizard->m_importer.Accounts());
            bRead = true;
        }))
        return false;
    return bRead;
}
