#include "widgets/cpicture.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

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

QPixmap CPicture::Icon(const QString& strName, int nSize) {
    const QString strKey = QStringLiteral("ledgerkin-icon:%1:%2").arg(strName).arg(nSize);
    QPixmap pixmap;
    if (!QPixmapCache::find(strKey, &pixmap)) {
        pixmap = QIcon(QStringLiteral(":/res/icons/%1.svg").arg(strName)).pixmap(nSize, nSize);
        QPixmapCache::insert(strKey, pixmap);
    }
    return pixmap;
}
