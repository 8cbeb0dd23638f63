#include "widgets/cformview.h"

#include "users/csession.h"

CFormView::CFormView(const CSession* pSession, QWidget* pParent)
    : QScrollArea(pParent), m_pForm(new QWidget), m_pSession(pSession) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setWidget(m_pForm);
}

QString CFormView::SessionUser() const {
    return m_pSession ? m_pSession->UserName() : QString();
}
