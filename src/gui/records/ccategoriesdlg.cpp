#include "records/ccategoriesdlg.h"

#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum EColumn { ColName, ColShort, ColRecords, ColState };

QPushButton* MakeButton(const QString& strText, int nId, QWidget* pParent) {
    auto* pButton = new QPushButton(strText, pParent);
    pButton->setObjectName(QString::number(nId));
    pButton->setAutoDefault(false);
    return pButton;
}

QTreeWidget* MakeList(int nId, const QStringList& headers, QWidget* pParent) {
    auto* pList = new QTreeWidget(pParent);
    pList->setObjectName(QString::number(nId));
    pList->setColumnCount(int(headers.size()));
    pList->setHeaderLabels(headers);
    pList->setRootIsDecorated(false);
    pList->setUniformRowHeights(true);
    pList->setSelectionMode(QAbstractItemView::SingleSelection);
    pList->header()->setStretchLastSection(false);
    pList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < headers.size(); ++c)
        pList->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    return pList;
}

} // namespace

CCategoriesDlg::CCategoriesDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CCategoriesDlg"));
    setWindowTitle(tr("类别管理"));

    auto* pHint = new QLabel(tr("记账时可选的类别。改名或合并时，这些类别的所有记录随之改过来；"
                                "有记录的类别不能删除，可以合并到另一个类别或隐藏（旧记录保留，"
                                "记账时不再列出）。简称用于图表。"),
                             this);
    pHint->setWordWrap(true);
    m_pKind = new QComboBox(this);
    m_pKind->setObjectName(QString::number(IDC_KIND));
    m_pKind->addItems({tr("支出类别"), tr("收入类别")});
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(m_pKind);
    pTop->addWidget(pHint, 1);

    m_pList = MakeList(IDC_LIST, {tr("类别"), tr("简称"), tr("记录数"), tr("状态")}, this);
    m_pList->setMinimumSize(360, 220);
    m_pFound = MakeList(IDC_FOUND, {tr("类别"), tr("记录数")}, this);
    m_pFound->setMinimumHeight(70);
    auto* pFoundLabel =
        new QLabel(tr("账本中出现的类别（记录中有、列表中没有，可收入列表或合并）"), this);
    pFoundLabel->setWordWrap(true);

    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QString::number(IDC_NAME));
    m_pShort = new QLineEdit(this);
    m_pShort->setObjectName(QString::number(IDC_SHORT));
    m_pShort->setPlaceholderText(tr("可不填"));
    m_pInto = new QComboBox(this);
    m_pInto->setObjectName(QString::number(IDC_INTO));
    auto* pFieldsBox = new QGroupBox(this);
    auto* pFields = new QFormLayout(pFieldsBox);
    pFields->addRow(tr("类别名称"), m_pName);
    pFields->addRow(tr("图表简称"), m_pShort);
    pFields->addRow(tr("合并到"), m_pInto);

    QPushButton* pAdd = MakeButton(tr("添加"), IDC_ADD, this);
    m_pRename = MakeButton(tr("改名"), IDC_RENAME, this);
    m_pSetShort = MakeButton(tr("设简称"), IDC_SET_SHORT, this);
    m_pHide = MakeButton(tr("隐藏"), IDC_HIDE, this);
    m_pUp = MakeButton(tr("上移"), IDC_UP, this);
    m_pDown = MakeButton(tr("下移"), IDC_DOWN, this);
    m_pDelete = MakeButton(tr("删除"), IDC_DELETE, this);
    m_pMerge = MakeButton(tr("合并"), IDC_MERGE, this);
    m_pAdopt = MakeButton(tr("收入列表"), IDC_ADOPT, this);
    QPushButton* pClose = MakeButton(tr("关闭"), IDC_CLOSE, this);
    auto* pButtons = new QGridLayout;
    const QList<QPushButton*> buttons{pAdd,    m_pRename, m_pSetShort, m_pHide, m_pUp,
                                      m_pDown, m_pDelete, m_pMerge,    m_pAdopt};
    for (int i = 0; i < buttons.size(); ++i)
        pButtons->addWidget(buttons[i], i / 2, i % 2);
    pButtons->setRowStretch(5, 1);
    pButtons->addWidget(pClose, 6, 1);

    auto* pLists = new QVBoxLayout;
    pLists->addWidget(m_pList, 3);
    pLists->addWidget(pFoundLabel);
    pLists->addWidget(m_pFound, 1);
    auto* pMiddle = new QHBoxLayout;
    pMiddle->addLayout(pLists, 1);
    pMiddle->addLayout(pButtons);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pTop);
    pMain->addLayout(pMiddle, 1);
    pMain->addWidget(pFieldsBox);

    connect(m_pKind, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        m_pName->clear();
        m_pShort->clear();
        Reload();
    });
    connect(pAdd, &QPushButton::clicked, this, &CCategoriesDlg::OnAdd);
    connect(m_pRename, &QPushButton::clicked, this, &CCategoriesDlg::OnRename);
    connect(m_pSetShort, &QPushButton::clicked, this, &CCategoriesDlg::OnSetShort);
    connect(m_pHide, &QPushButton::clicked, this, &CCategoriesDlg::OnHide);
    connect(m_pUp, &QPushButton::clicked, this, &CCategoriesDlg::OnUp);
    connect(m_pDown, &QPushButton::clicked, this, &CCategoriesDlg::OnDown);
    connect(m_pDelete, &QPushButton::clicked, this, &CCategoriesDlg::OnDelete);
    connect(m_pMerge, &QPushButton::clicked, this, &CCategoriesDlg::OnMerge);
    connect(m_pAdopt, &QPushButton::clicked, this, &CCategoriesDlg::OnAdopt);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this,
            [this] { OnSelectionChanged(m_pList); });
    connect(m_pFound, &QTreeWidget::itemSelectionChanged, this,
            [this] { OnSelectionChanged(m_pFound); });
    connect(m_pName, &QLineEdit::textChanged, this, &CCategoriesDlg::UpdateButtons);
}

CCategoryBook CCategoriesDlg::Book() const {
    return CCategoryBook(m_pKind->currentIndex() == 1 ? ERecordKind::Income : ERecordKind::Outlay,
                         m_pSession->UserName(), m_pSession->UserId());
}

int CCategoriesDlg::Run() {
    m_bChanged = false;
    {
        const QSignalBlocker blocker(m_pKind);
        m_pKind->setCurrentIndex(0);
    }
    m_pName->clear();
    m_pShort->clear();
    Reload();
    m_pName->setFocus();
    return exec();
}

bool CCategoriesDlg::Reload() {
    QList<CCategoryBook::SCategory> list, found;
    if (!CMessageBox::Guarded(this, [&] {
            const CCategoryBook book = Book();
            list = book.List();
            found = book.Found();
        }))
        return false;
    m_list = list;
    m_found = found;
    const QSignalBlocker blockList(m_pList);
    const QSignalBlocker blockFound(m_pFound);
    m_pList->clear();
    m_pInto->clear();
    for (const CCategoryBook::SCategory& c : m_list) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(ColName, c.strName);
        pItem->setText(ColShort, c.strShort);
        pItem->setText(ColRecords, QString::number(c.nRecords));
        pItem->setTextAlignment(ColRecords, Qt::AlignRight | Qt::AlignVCenter);
        pItem->setText(ColState, c.bHidden ? tr("已隐藏") : QString());
        if (c.bHidden)
            pItem->setForeground(ColName, palette().color(QPalette::Disabled, QPalette::Text));
        m_pInto->addItem(c.strName);
    }
    m_pFound->clear();
    for (const CCategoryBook::SCategory& c : m_found) {
        auto* pItem = new QTreeWidgetItem(m_pFound);
        pItem->setText(0, c.strName);
        pItem->setText(1, QString::number(c.nRecords));
        pItem->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_pInto->setCurrentIndex(-1);
    UpdateButtons();
    return true;
}

QString CCategoriesDlg::Selected() const {
    const QTreeWidgetItem* pItem = m_pList->currentItem();
    return pItem && pItem->isSelected() ? pItem->text(ColName) : QString();
}

QString CCategoriesDlg::SelectedFound() const {
    const QTreeWidgetItem* pItem = m_pFound->currentItem();
    return pItem && pItem->isSelected() ? pItem->text(0) : QString();
}

void CCategoriesDlg::OnSelectionChanged(QTreeWidget* pFrom) {
    // One choice at a time: a category of the list or a text found in the records.
    QTreeWidget* pOther = pFrom == m_pList ? m_pFound : m_pList;
    {
        const QSignalBlocker blocker(pOther);
        pOther->clearSelection();
    }
    const QString strName = pFrom == m_pList ? Selected() : SelectedFound();
    m_pName->setText(strName);
    m_pShort->clear();
    for (const CCategoryBook::SCategory& c : m_list)
        if (c.strName == strName && pFrom == m_pList)
            m_pShort->setText(c.strShort);
    UpdateButtons();
}

void CCategoriesDlg::UpdateButtons() {
    const QString strName = Selected();
    const bool bListed = !strName.isEmpty();
    const bool bFound = !SelectedFound().isEmpty();
    bool bHidden = false;
    for (const CCategoryBook::SCategory& c : m_list)
        if (c.strName == strName)
            bHidden = c.bHidden;
    m_pHide->setText(bHidden ? tr("取消隐藏") : tr("隐藏"));
    for (QPushButton* pButton : {m_pRename, m_pSetShort, m_pHide, m_pUp, m_pDown, m_pDelete})
        pButton->setEnabled(bListed);
    m_pMerge->setEnabled(bListed || bFound);
    m_pAdopt->setEnabled(bFound);
}

void CCategoriesDlg::Select(const QString& strName) {
    for (QTreeWidget* pList : {m_pList, m_pFound})
        for (int i = 0; i < pList->topLevelItemCount(); ++i)
            if (pList->topLevelItem(i)->text(0) == strName) {
                pList->setCurrentItem(pList->topLevelItem(i));
                return;
            }
}

bool CCategoriesDlg::Done(const QString& strRefusal, const QString& strName) {
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return false;
    }
    m_bChanged = true;
    Reload();
    Select(strName);
    return true;
}

void CCategoriesDlg::OnAdd() {
    const QString strName = m_pName->text().trimmed();
    QString strRefusal;
    if (CMessageBox::Guarded(this, [&] { strRefusal = Book().Add(strName); }))
        Done(strRefusal, strName);
}

void CCategoriesDlg::OnRename() {
    const QString strOld = Selected();
    const QString strNew = m_pName->text().trimmed();
    if (strOld.isEmpty() || strNew == strOld)
        return;
    int nRecords = 0;
    for (const CCategoryBook::SCategory& c : m_list)
        if (c.strName == strOld)
            nRecords = c.nRecords;
    if (nRecords > 0 &&
        !CMessageBox::AskOkCancel(tr("把类别“%1”改名为“%2”，它的 %3 条记录随之改过来。确定吗？")
                                      .arg(strOld, strNew)
                                      .arg(nRecords),
                                  tr("类别改名"), this))
        return;
    QString strRefusal;
    if (CMessageBox::Guarded(this, [&] { strRefusal = Book().Rename(strOld, strNew); }))
        Done(strRefusal, strNew);
}

void CCategoriesDlg::OnSetShort() {
    const QString strName = Selected();
    if (strName.isEmpty())
        return;
    QString strRefusal;
    if (CMessageBox::Guarded(this,
                             [&] { strRefusal = Book().SetShort(strName, m_pShort->text()); }))
        Done(strRefusal, strName);
}

void CCategoriesDlg::OnHide() {
    const QString strName = Selected();
    bool bHidden = false;
    for (const CCategoryBook::SCategory& c : m_list)
        if (c.strName == strName)
            bHidden = c.bHidden;
    if (strName.isEmpty())
        return;
    QString strRefusal;
    if (CMessageBox::Guarded(this, [&] { strRefusal = Book().SetHidden(strName, !bHidden); }))
        Done(strRefusal, strName);
}

void CCategoriesDlg::OnUp() {
    const QString strName = Selected();
    QString strRefusal;
    if (!strName.isEmpty() &&
        CMessageBox::Guarded(this, [&] { strRefusal = Book().Move(strName, -1); }))
        Done(strRefusal, strName);
}

void CCategoriesDlg::OnDown() {
    const QString strName = Selected();
    QString strRefusal;
    if (!strName.isEmpty() &&
        CMessageBox::Guarded(this, [&] { strRefusal = Book().Move(strName, 1); }))
        Done(strRefusal, strName);
}

void CCategoriesDlg::OnDelete() {
    const QString strName = Selected();
    QString strRefusal;
    if (!strName.isEmpty() &&
        CMessageBox::Guarded(this, [&] { strRefusal = Book().Remove(strName); }))
        Done(strRefusal, QString());
}

void CCategoriesDlg::OnMerge() {
    const QString strFrom = Selected().isEmpty() ? SelectedFound() : Selected();
    const QString strInto = m_pInto->currentText();
    if (strFrom.isEmpty())
        return;
    if (strInto.isEmpty()) {
        CMessageBox::ShowMessage(tr("请在“合并到”中选择要并入的类别。"), this);
        return;
    }
    int nRecords = 0;
    for (const QList<CCategoryBook::SCategory>* pList : {&m_list, &m_found})
        for (const CCategoryBook::SCategory& c : *pList)
            if (c.strName == strFrom)
                nRecords = c.nRecords;
    if (strFrom != strInto &&
        !CMessageBox::AskOkCancel(tr("把“%1”的 %2 条记录并入“%3”，“%1”不再单独列出。确定吗？")
                                      .arg(strFrom)
                                      .arg(nRecords)
                                      .arg(strInto),
                                  tr("合并类别"), this))
        return;
    QString strRefusal;
    if (CMessageBox::Guarded(this, [&] { strRefusal = Book().Merge(strFrom, strInto); }))
        Done(strRefusal, strInto);
}

void CCategoriesDlg::OnAdopt() {
    const QString strName = SelectedFound();
    QString strRefusal;
    if (!strName.isEmpty() && CMessageBox::Guarded(this, [&] { strRefusal = Book().Add(strName); }))
        Done(strRefusal, strName);
}
