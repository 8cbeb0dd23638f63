#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;

// An item view changed (rows came or went, a column was resized) is painted once, settled.
// Qt lays out an item view's rows from a timer and shows or hides its scroll bars from a queued
// call; both come after the window's paint that the change had already asked for, and the view
// was painted again, then perhaps a third time for the column a new scroll bar narrowed.
// Soon() posts one settling ahead of that paint: the view's own steps (fnSettle: its delayed
// layout, its geometries, …), then the scroll bars' queued show or hide and the layout requests
// those raise, repeated while they ask for more.
class CViewSettler : public QObject {
public:
    CViewSettler(QAbstractItemView* pView, std::function<void()> fnSettle);

    void Soon();

protected:
    bool event(QEvent* pEvent) override;

private:
    QAbstractItemView* m_pView;
    std::function<void()> m_fnSettle;
    bool m_bPosted = false;
};
