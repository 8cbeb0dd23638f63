#include "cimportcommands.h"

#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "cexportdlg.h"
#include "cimportwizard.h"
#include "users/csession.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace CImportCommands {

namespace {
QString Tr(const char* sz) {
    return QCoreApplication::translate("CImportCommands", sz);
}
} // namespace

void Install(CMainFrame* pFrame) {
    auto* pImport =
        new QAction(QIcon(QStringLiteral(":/res/icons/import.svg")), Tr("导入账单(&I)…"), pFrame);
    pImport->setObjectName(QString::number(ID_IMPORT));
    pImport->setStatusTip(Tr("从支付宝、微信支付、银行对账单或其它财务软件导入账单"));
    pImport->setToolTip(Tr("导入账单"));
    auto* pExport = new QAction(Tr("导出(&X)…"), pFrame);
    pExport->setObjectName(QString::number(ID_EXPORT));
    pExport->setStatusTip(Tr("把收支记录和转账导出为 QIF 或 CSV 文件"));
    QObject::connect(pImport, &QAction::triggered, pFrame, [pFrame] { OnImport(pFrame); });
    QObject::connect(pExport, &QAction::triggered, pFrame, [pFrame] { OnExport(pFrame); });

    // Enabled exactly when the transfer command is: while a user is logged in.
    QAction* pModel = pFrame->Action(CMainFrame::ID_ADD_TRS);
    auto follow = [pModel, pImport, pExport] {
        pImport->setEnabled(pModel->isEnabled());
        pExport->setEnabled(pModel->isEnabled());
    };
    QObject::connect(pModel, &QAction::changed, pFrame, follow);
    follow();

    for (QMenu* pMenu : pFrame->menuBar()->findChildren<QMenu*>()) {
        if (pMenu->actions().contains(pModel)) {
            pMenu->addSeparator();
            pMenu->addAction(pImport);
            pMenu->addAction(pExport);
            break;
        }
    }
    if (auto* pToolBar = pFrame->findChild<QToolBar*>(QStringLiteral("128"))) {
        const QList<QAction*> actions = pToolBar->actions();
        const int nAt = int(actions.indexOf(pModel));
        pToolBar->insertAction(nAt >= 0 && nAt + 1 < actions.size() ? actions[nAt + 1] : nullptr,
                               pImport);
    }
}

void OnImport(CMainFrame* pFrame) {
    if (!pFrame->Session()->IsLoggedIn())
        return;
    CImportWizard wizard(pFrame->Session()->UserName(), pFrame->Session()->UserId(), pFrame);
    wizard.exec();
    if (!wizard.m_result.bDone)
        return;
    // Show the summary anew, so the imported days are in the tree and the totals current.
    pFrame->OpenView(CMainFrame::EView::SumList, true);
    if (auto* pView = pFrame->View<CSumListView>())
        pView->ShowAccountList(pFrame->Session()->UserName());
    pFrame->UpdateCommandUI();
}

void OnExport(CMainFrame* pFrame) {
    if (!pFrame->Session()->IsLoggedIn())
        return;
    CExportDlg dlg(pFrame->Session()->UserName(), pFrame);
    dlg.exec();
}

} // namespace CImportCommands
