#pragma once

#include <QScrollArea>

class CMainFrame;

// A right-hand view: a form inside a scroll area. The frame creates it in the right pane
// and then calls OnInitialUpdate(), where the view reads the current user and fills itself.
class CFormView : public QScrollArea {
    Q_OBJECT
public:
    explicit CFormView(QWidget* pParent = nullptr);
    virtual void OnInitialUpdate() {}

protected:
    // The form widget inside the scroll area; lay out the view's controls on it.
    QWidget* Form() const { return m_pForm; }
    CMainFrame* Frame() const;

private:
    QWidget* m_pForm;
};
