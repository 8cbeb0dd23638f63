#include "widgets/cviewsettler.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <utility>

namespace {
const auto kSettleEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

CViewSettler::CViewSettler(QAbstractItemView* pView, std::function<void()> fnSettle)
    : QObject(pView), m_pView(pView), m_fnSettle(std::move(fnSettle)) {}

// The window's paint is posted at low priority: an event of normal priority comes first.
void CViewSettler::Soon() {
    if (m_bPosted)
        return;
    m_bPosted = true;
    QCoreApplication::postEvent(this, new QEvent(kSettleEvent), Qt::NormalEventPriority);
}

bool CViewSettler::event(QEvent* pEvent) {
    if (pEvent->type() != kSettleEvent)
        return QObject::event(pEvent);
    // A scroll bar that comes or goes resizes the viewport, which may ask for settling again.
    // Three passes end any back and forth; what still moves then comes after the paint.
    for (int nPass = 0; nPass < 3 && m_bPosted; ++nPass) {
        QCoreApplication::removePostedEvents(this, kSettleEvent);
        m_bPosted = false;
        m_fnSettle();
        QCoreApplication::sendPostedEvents(m_pView, QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(m_pView, QEvent::LayoutRequest);
    }
    // A scroll bar shown just now asks to be drawn from a posted event too: with the rest.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    m_pView->viewport()->update();
    return true;
}
