#pragma once

#include <QHash>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QSvgRenderer;

// One of the program's pictures (res/pictures/*.svg), drawn at the widget's size so it stays
// sharp on any screen. Texts such as "@VERSION@" in the drawing can be replaced.
class CPicture : public QWidget {
    Q_OBJECT
public:
    CPicture(const QString& strResource, const QSize& size, QWidget* pParent = nullptr,
             const QHash<QString, QString>& replacements = {});
    QSize sizeHint() const override { return m_size; }

    // The toolbar icon res/icons/<strName>.svg drawn nSize pixels square, drawn once and then
    // kept in the pixmap cache: views that are made anew at every opening show it at once.
    static QPixmap Icon(const QString& strName, int nSize);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QSvgRenderer* m_pRenderer;
    QSize m_size;
};
