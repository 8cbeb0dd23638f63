#include "cformview.h"

#include "cmainframe.h"

CFormView::CFormView(QWidget* pParent) : QScrollArea(pParent), m_pForm(new QWidget) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setWidget(m_pForm);
}

CMainFrame* CFormView::Frame() const { return CMainFrame::Get(); }
