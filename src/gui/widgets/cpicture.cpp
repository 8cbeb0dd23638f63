#include "widgets/cpicture.h"

#include <QFile>
#include <QIcon>
#include <QIconEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

namespace {
// Qt's own SVG icon, with every pixmap it draws kept here by size, mode and state.
class CKeptIconEngine : public QIconEngine {
public:
    explicit CKeptIconEngine(const QString& strFile) : m_svg(strFile) {}

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode eMode, QIcon::State eState,
                         qreal /*dScale*/) override {
        // size is in device pixels: one pixmap serves every screen scale.
        const SKey key{size.width(), size.height(), int(eMode), int(eState)};
        auto it = m_kept.constFind(key);
        if (it == m_kept.cend())
            it = m_kept.insert(key, m_svg.pixmap(size, 1.0, eMode, eState));
        return *it;
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode eMode, QIcon::State eState) override {
        return scaledPixmap(size, eMode, eState, 1.0);
    }
    void paint(QPainter* pPainter, const QRect& rect, QIcon::Mode eMode,
               QIcon::State eState) override {
        const qreal dScale = pPainter->device() ? pPainter->device()->devicePixelRatio() : 1.0;
        pPainter->drawPixmap(rect, scaledPixmap(rect.size() * dScale, eMode, eState, dScale));
    }
    // Qt's SVG icon answers with the size of the pixmap it draws; ours has it at hand. (A tree
    // asks for every row it paints.)
    QSize actualSize(const QSize& size, QIcon::Mode eMode, QIcon::State eState) override {
        return scaledPixmap(size, eMode, eState, 1.0).size();
    }
    QList<QSize> availableSizes(QIcon::Mode eMode, QIcon::State eState) override {
        return m_svg.availableSizes(eMode, eState);
    }
    bool isNull() override { return m_svg.isNull(); }
    QString key() const override { return QStringLiteral("ledgerkin-kept"); }
    QIconEngine* clone() const override { return new CKeptIconEngine(*this); }

private:
    struct SKey {
        int nWidth, nHeight, nMode, nState;
        bool operator==(const SKey& other) const {
            return nWidth == other.nWidth && nHeight == other.nHeight && nMode == other.nMode &&
                   nState == other.nState;
        }
    };
    friend size_t qHash(const SKey& key, size_t nSeed = 0) {
        return qHashMulti(nSeed, key.nWidth, key.nHeight, key.nMode, key.nState);
    }

    QIcon m_svg;
    QHash<SKey, QPixmap> m_kept;
};
} // namespace

CPicture::CPicture(const QString& strResource, const QSize& size, QWidget* pParent,
                   const QHash<QString, QString>& replacements)
    : QWidget(pParent), m_pRenderer(new QSvgRenderer(this)), m_size(size) {
    QFile file(strResource);
    QByteArray svg;
    if (file.open(QIODevice::ReadOnly))
        svg = file.readAll();
    if (!replacements.isEmpty()) {
        QString strSvg = QString::fromUtf8(svg);
        for (auto it = replacements.cbegin(); it != replacements.cend(); ++it)
            strSvg.replace(it.key(), it.value().toHtmlEscaped());
        svg = strSvg.toUtf8();
    }
    m_pRenderer->load(svg);
    setFixedSize(size);
}

void CPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_pRenderer->render(&painter, QRectF(rect()));
}

QIcon CPicture::KeptIcon(const QString& strName) {
    // One icon per name, so that every user of it shares what it has drawn.
    static QHash<QString, QIcon> s_icons;
    auto it = s_icons.constFind(strName);
    if (it == s_icons.cend()) {
        it = s_icons.insert(
            strName, QIcon(new CKeptIconEngine(QStringLiteral(":/res/icons/%1.svg").arg(strName))));
    }
    return *it;
}

QPixmap CPicture::Icon(const QString& strName, int nSize) {
    return KeptIcon(strName).pixmap(nSize, nSize);
}
