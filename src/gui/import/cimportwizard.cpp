#include "cimportwizard.h"

#include "cimportdonepage.h"
#include "cimportfilepage.h"
#include "cimportpreviewpage.h"
#include "cpreviewmodel.h"
#include "users/csession.h"

CImportWizard::CImportWizard(const CSession* pSession, QWidget* pParent)
    : QWizard(pParent), m_pSession(pSession), m_importer(pSession->UserName(), pSession->UserId()) {
    setObjectName(QStringLiteral("CImportWizard"));
    setWindowTitle(tr("导入账单"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnLastPage);
    setOption(QWizard::NoCancelButtonOnLastPage);
    setButtonText(QWizard::NextButton, tr("下一步(&N) >"));
    setButtonText(QWizard::BackButton, tr("< 上一步(&B)"));
    setButtonText(QWizard::FinishButton, tr("完成"));
    setButtonText(QWizard::CancelButton, tr("取消"));
    m_pModel = new CPreviewModel(this);
    setPage(PageFile, new CImportFilePage(this));
    setPage(PagePreview, new CImportPreviewPage(this));
    setPage(PageDone, new CImportDonePage(this));
    // Fits a 1024×600 screen with the window frame and a panel.
    resize(980, 540);
}
