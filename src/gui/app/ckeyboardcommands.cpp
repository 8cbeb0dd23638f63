#include "ckeyboardcommands.h"

#include "analysis/crptview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "records/cdayview.h"
#include "users/csession.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace CKeyboardCommands {

namespace {
QString Tr(const char* sz) {
    return QCoreApplication::translate("CKeyboardCommands", sz);
}

QMenu* MenuHolding(CMainFrame* pFrame, QAction* pAction) {
    for (QMenu* pMenu : pFrame->menuBar()->findChildren<QMenu*>())
        if (pMenu->actions().contains(pAction))
            return pMenu;
    return nullptr;
}

// The six views in the order of their keys Ctrl+1 … Ctrl+6.
const int kViews[] = {CMainFrame::ID_SUM_VIEW,    CMainFrame::ID_INCOME_VIEW,
                      CMainFrame::ID_OUTLAY_VIEW, CMainFrame::ID_IN_CHART,
                      CMainFrame::ID_OUT_CHART,   CMainFrame::ID_RPT_VIEW};
} // namespace

void Install(CMainFrame* pFrame) {
    const auto key = [pFrame](int nId, const QKeySequence& keys) {
        if (QAction* pAction = pFrame->Action(nId))
            pAction->setShortcut(keys);
    };
    key(CMainFrame::ID_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q));
    key(CMainFrame::ID_ADD_INCOME, QKeySequence(Qt::CTRL | Qt::Key_N));
    key(CMainFrame::ID_ADD_OUTLAY, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    key(CMainFrame::ID_ADD_TRS, QKeySequence(Qt::CTRL | Qt::Key_T));
    key(CMainFrame::ID_HELP, QKeySequence(Qt::Key_F1));
    for (int i = 0; i < int(std::size(kViews)); ++i)
        key(kViews[i], QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));

    const auto add = [pFrame](int nId, const QString& strText, const QString& strStatus,
                              const QKeySequence& keys) {
        auto* pAction = new QAction(strText, pFrame);
        pAction->setObjectName(QString::number(nId));
        pAction->setStatusTip(strStatus);
        pAction->setShortcut(keys);
        pFrame->addAction(pAction); // the key works with the menu bar hidden too
        return pAction;
    };
    QAction* pPrint = add(ID_PRINT, Tr("打印报表(&P)…"), Tr("打印报表查询的结果"),
                          QKeySequence(Qt::CTRL | Qt::Key_P));
    QAction* pPreview = add(ID_PREVIEW, Tr("打印预览(&V)"), Tr("预览报表查询的打印结果"),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    QAction* pReload =
        add(ID_RELOAD, Tr("刷新(&R)"), Tr("从账本重新读取当前视图"), QKeySequence(Qt::Key_F5));
    QObject::connect(pPrint, &QAction::triggered, pFrame, [pFrame] { OnPrint(pFrame, false); });
    QObject::connect(pPreview, &QAction::triggered, pFrame, [pFrame] { OnPrint(pFrame, true); });
    QObject::connect(pReload, &QAction::triggered, pFrame, [pFrame] { OnReload(pFrame); });

    // Enabled while a user is logged in, as the report command is.
    QAction* pModel = pFrame->Action(CMainFrame::ID_RPT_VIEW);
    const auto follow = [pModel, pPrint, pPreview, pReload] {
        for (QAction* pAction : {pPrint, pPreview, pReload})
            pAction->setEnabled(pModel->isEnabled());
    };
    QObject::connect(pModel, &QAction::changed, pFrame, follow);
    follow();

    if (QMenu* pMenu = MenuHolding(pFrame, pModel)) {
        QAction* pAfter = nullptr; // the entry after the report command
        const QList<QAction*> actions = pMenu->actions();
        const int nAt = int(actions.indexOf(pModel));
        if (nAt + 1 < actions.size())
            pAfter = actions[nAt + 1];
        pMenu->insertAction(pAfter, pPrint);
        pMenu->insertAction(pAfter, pPreview);
    }
    if (QMenu* pMenu = MenuHolding(pFrame, pFrame->Action(CMainFrame::ID_VIEW_TOOLBAR))) {
        QAction* pFirst = pMenu->actions().value(0);
        pMenu->insertAction(pFirst, pReload);
        pMenu->insertSeparator(pFirst);
    }
}

void OnPrint(CMainFrame* pFrame, bool bPreview) {
    if (!pFrame->Session()->IsLoggedIn())
        return;
    auto* pReport = pFrame->View<CRptView>();
    if (!pReport) {
        pFrame->Action(CMainFrame::ID_RPT_VIEW)->trigger();
        pFrame->SetStatusText(Tr("请先选择查询条件并按“开始查询”，再打印报表。"));
        return;
    }
    if (bPreview)
        pReport->OnPreview();
    else
        pReport->OnPrintReport();
}

void OnReload(CMainFrame* pFrame) {
    if (!pFrame->Session()->IsLoggedIn())
        return;
    if (auto* pDay = pFrame->View<CDayView>()) {
        if (pDay->IsEditing()) {
            pFrame->SetStatusText(Tr("正在编辑记录，请先确定或取消。"));
            return;
        }
        // The same day again, with the tree rebuilt around it (showing it marks it there).
        pFrame->RebuildTree();
        pDay->FillAccountList();
        pDay->ShowCurrentDay();
        pFrame->SetStatusText(Tr("已重新读取账本。"));
        return;
    }
    const CMainFrame::EView eShown = pFrame->ShownView();
    if (eShown == CMainFrame::EView::Main)
        return;
    pFrame->OpenView(eShown, true);
    pFrame->UpdateCommandUI();
    pFrame->SetStatusText(Tr("已重新读取账本。"));
}

} // namespace CKeyboardCommands
