#pragma once

#include "widgets/cscope.h"

#include <QDate>
#include <QScrollArea>
#include <QString>

class CSession;

// A right-hand view: a form inside a scroll area. The frame creates it in the right pane,
// connects its signals and then calls OnInitialUpdate(), where the view reads the session's
// user and fills itself. What every view understands:
//   ShowScope()  the navigation tree chose a scope (views without a tree ignore it);
//   IsEditing()  rows are being typed, so nothing may replace the day under them;
//   LeaveEdit()  before anything replaces the view or its day: an open edit is stored,
//                dropped or kept after asking; false when it stays open;
//   StatusText   a line for the status bar;
//   DayShown     the view now shows that day (the tree marks it).
class CFormView : public QScrollArea {
    Q_OBJECT
public:
    // pSession may be null: the view then has no user (benchmarks drive views alone).
    explicit CFormView(const CSession* pSession, QWidget* pParent = nullptr);
    virtual void OnInitialUpdate() {}
    virtual void ShowScope(const CScope& scope) { Q_UNUSED(scope) }
    virtual bool IsEditing() const { return false; }
    virtual bool LeaveEdit() { return true; }

    const CSession* Session() const { return m_pSession; }

Q_SIGNALS:
    void StatusText(const QString& strText);
    void DayShown(const QDate& day);
    // Days or months came or went: the tree is built again.
    void TreeOutdated();

protected:
    // The form widget inside the scroll area; lay out the view's controls on it.
    QWidget* Form() const { return m_pForm; }
    // The logged-in user at this moment ("" when nobody is).
    QString SessionUser() const;

private:
    QWidget* m_pForm;
    const CSession* m_pSession;
};
