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

    // The icon res/icons/<strName>.svg. Each size and mode is drawn from the SVG once per run
    // and kept with the icon, not in the global pixmap cache that a logout empties: the toolbar,
    // the tree and views made anew at a login show their icons without drawing them again.
    static QIcon KeptIcon(const QString& strName);
    // That icon drawn nSize pixels square.
    static QPixmap Icon(const QString& strName, int nSize);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QSvgRenderer* m_pRenderer;
    QSize m_size;
};
