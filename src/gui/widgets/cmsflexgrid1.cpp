#include "widgets/cmsflexgrid1.h"

#include "widgets/cgridmodel.h"
#include "widgets/cplainfont.h"
#include "widgets/cviewsettler.h"

#include <QCache>
#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QToolTip>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {
constexpr int kTwipsPerPixel = 15;
constexpr int kDefaultColTwips = 960;
constexpr int kFixedColTwips = 500;

// A cell's text laid out once. The style lays a cell's text out to see whether it must be
// shortened, then lays it out again to draw it. A grid's cell is one line of plain text: it is
// drawn here as the style draws it (the cell's colour, the text where the style puts it, "…"
// for a text too long for its column, the focus frame), from one layout.
class CCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* pWidget = opt.widget;
        const QStyle* pStyle = pWidget->style();
        pPainter->save();
        pPainter->setClipRect(opt.rect);
        if (opt.text.isEmpty() || !DrawKept(pPainter, opt)) {
            pStyle->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, pPainter, pWidget);
            if (!opt.text.isEmpty())
                DrawText(pPainter, opt, TextRect(opt));
        }
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = pStyle->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, pWidget);
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = opt.palette.color(
                opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                opt.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
            pStyle->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, pPainter, pWidget);
        }
        pPainter->restore();
    }

private:
    // The rectangle the style gives a cell's text, without measuring the text as the style
    // does (a tenth of a cell's painting): the whole cell for a view that shows the selection
    // over it all; otherwise the font's height, aligned in the cell like the text, and across
    // the cell's width, since the text is aligned to the same side again as it is drawn (a
    // centred text, an icon or a check box are left to the style).
    static QRect TextRect(const QStyleOptionViewItem& opt) {
        if (opt.showDecorationSelected)
            return opt.rect;
        if ((opt.displayAlignment & Qt::AlignHCenter) ||
            (opt.features &
             (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator)))
            return opt.widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt,
                                                       opt.widget);
        const QSize size(opt.rect.width(),
                         std::min(QFontMetrics(opt.font).height(), opt.rect.height()));
        return QStyle::alignedRect(opt.direction, opt.displayAlignment, size, opt.rect);
    }
    static QColor TextColor(const QStyleOptionViewItem& opt) {
        QPalette::ColorGroup eGroup =
            opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        if (eGroup == QPalette::Normal && !(opt.state & QStyle::State_Active))
            eGroup = QPalette::Inactive;
        return opt.palette.color(eGroup, opt.state & QStyle::State_Selected
                                             ? QPalette::HighlightedText
                                             : QPalette::Text);
    }
    // Lays the text out in rect as the style would place it (shortened to "…" when it is too
    // long) and answers where it is drawn from.
    static QPoint LayOut(QTextLayout& layout, const QStyleOptionViewItem& opt, const QRect& rect) {
        const QStyle* pStyle = opt.widget->style();
        const int nMargin =
            pStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
        const QRect textRect = rect.adjusted(nMargin, 0, -nMargin, 0);
        QTextOption textOption;
        textOption.setWrapMode(QTextOption::ManualWrap);
        textOption.setTextDirection(opt.direction);
        textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
        layout.setText(opt.text);
        layout.setFont(opt.font);
        layout.setTextOption(textOption);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(textRect.width());
        line.setPosition(QPointF(0, 0));
        layout.endLayout();
        if (line.naturalTextWidth() > textRect.width()) {
            // Shortened, then laid out again: only a text cut short pays the second layout.
            layout.setText(
                QFontMetrics(opt.font).elidedText(opt.text, opt.textElideMode, textRect.width()));
            layout.beginLayout();
            line = layout.createLine();
            line.setLineWidth(textRect.width());
            line.setPosition(QPointF(0, 0));
            layout.endLayout();
        }
        return QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment,
                                   layout.boundingRect().size().toSize(), textRect)
            .topLeft();
    }
    static void DrawText(QPainter* pPainter, const QStyleOptionViewItem& opt, const QRect& rect) {
        QTextLayout layout;
        const QPoint at = LayOut(layout, opt, rect);
        pPainter->setPen(TextColor(opt));
        layout.draw(pPainter, at);
    }
    // The cell drawn, its text's band copied from the pixels it had the last time it was
    // drawn alike when there are such (CDrawnCells), and kept when it can be; false leaves
    // the cell to be drawn as above.
    static bool DrawKept(QPainter* pPainter, const QStyleOptionViewItem& opt);
};

// Cells drawn before, kept as the pixels of their text's band. Drawing a cell's text blends
// every glyph's edge into what is under it, with the gamma correction that Qt uses for the
// program's font: most of the time a view takes to show a brief or a list, and the same again
// each time the view is shown or the cell uncovered. A cell drawn alike on the same ground
// has the same pixels, so a band is kept under all it was drawn from (text, font, size,
// palette, state, the colour under it) and copied where it is drawn alike again.
//
// Only what is sure to come out the same is kept: a cell of plain text drawn on a
// one-colour ground into an image of 32-bit pixels, moved by whole pixels, at one device
// pixel to a pixel, whose band (what of it could be painted) lay wholly inside what was
// painted. Anything else is drawn as before, and so is a cell the first time (its band is
// copied from the window as it is drawn there). At the end of a session all of it is let go
// (ForgetDrawnCells).
class CDrawnCells {
public:
    struct SKey {
        QString strText;
        QFont font;
        QSize size;
        QRect open; // the part of the cell that could be painted, from its top left
        qint64 nPalette = 0;
        QRgb ground = 0;
        QRgb background = 0;
        int nBackgroundStyle = 0;
        int nState = 0;
        int nFeatures = 0;
        int nAlignment = 0;
        int nDirection = 0;
        int nElide = 0;
        int nFormat = 0;
        bool bDecorationSelected = false;
        const QStyle* pStyle = nullptr;

        bool operator==(const SKey& o) const {
            return strText == o.strText && size == o.size && open == o.open &&
                   nPalette == o.nPalette && ground == o.ground && background == o.background &&
                   nBackgroundStyle == o.nBackgroundStyle && nState == o.nState &&
                   nFeatures == o.nFeatures && nAlignment == o.nAlignment &&
                   nDirection == o.nDirection && nElide == o.nElide && nFormat == o.nFormat &&
                   bDecorationSelected == o.bDecorationSelected && pStyle == o.pStyle &&
                   font == o.font;
        }
    };
    struct SBand {
        QImage image;
        QPoint at; // from the cell's top left
    };

    static CDrawnCells& Get() {
        static CDrawnCells s_cells;
        return s_cells;
    }
    const SBand* Find(const SKey& key) const { return m_bands.object(key); }
    void Keep(const SKey& key, SBand band) {
        const qsizetype nCost = band.image.sizeInBytes();
        m_bands.insert(key, new SBand(std::move(band)), nCost);
    }
    void Clear() { m_bands.clear(); }

private:
    // A few views' cells (the summary's brief of 19 rows is a megabyte at 1920 pixels wide).
    static constexpr qsizetype kMaxBytes = 4 * 1024 * 1024;
    QCache<SKey, SBand> m_bands{kMaxBytes};
};

size_t qHash(const CDrawnCells::SKey& key, size_t nSeed = 0) {
    return qHashMulti(nSeed, key.strText, key.size.width(), key.size.height(), key.nPalette,
                      key.ground, key.background, key.nState, key.nAlignment, key.font);
}

bool CCellDelegate::DrawKept(QPainter* pPainter, const QStyleOptionViewItem& opt) {
    if (opt.features &
            (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator) ||
        (opt.backgroundBrush.style() != Qt::NoBrush &&
         opt.backgroundBrush.style() != Qt::SolidPattern) ||
        pPainter->opacity() != 1.0 ||
        pPainter->compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    // The image being painted, and where the cell lies on it.
    QPaintEngine* pEngine = pPainter->paintEngine();
    QPaintDevice* pDevice = pEngine ? pEngine->paintDevice() : nullptr;
    if (!pDevice || pEngine->type() != QPaintEngine::Raster ||
        pDevice->devType() != QInternal::Image)
        return false;
    const auto* pTarget = static_cast<const QImage*>(pDevice);
    if ((pTarget->format() != QImage::Format_RGB32 &&
         pTarget->format() != QImage::Format_ARGB32_Premultiplied) ||
        pTarget->devicePixelRatio() != 1.0)
        return false;
    const QTransform transform = pPainter->deviceTransform();
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    if (transform.type() > QTransform::TxTranslate || offset.x() != transform.dx() ||
        offset.y() != transform.dy())
        return false;
    // What of the cell can be painted: the pixels outside it stay as they are either way.
    const QRegion painted =
        pEngine->systemClip().isEmpty() ? QRegion(pTarget->rect()) : pEngine->systemClip();
    const QRect open = painted.boundingRect() & pTarget->rect() & opt.rect.translated(offset);
    if (open.isEmpty())
        return false;
    // Whether the open part of a band has one colour under it, before anything is drawn.
    const auto groundOf = [pTarget, offset, &open](const QRect& band, QRgb ground) {
        const QRect on = band.translated(offset) & open;
        for (int y = on.top(); y <= on.bottom(); ++y) {
            const auto* pLine = reinterpret_cast<const QRgb*>(pTarget->constScanLine(y));
            QRgb nOther = 0; // a line at a time, which the compiler can take in wide steps
            for (int x = on.left(); x <= on.right(); ++x)
                nOther |= pLine[x] ^ ground;
            if (nOther != 0)
                return false;
        }
        return true;
    };
    const QWidget* pWidget = opt.widget;
    const QStyle* pStyle = pWidget->style();
    CDrawnCells::SKey key;
    key.strText = opt.text;
    key.font = opt.font;
    key.size = opt.rect.size();
    key.nPalette = opt.palette.cacheKey();
    key.background = opt.backgroundBrush.color().rgba();
    key.nBackgroundStyle = opt.backgroundBrush.style();
    key.nState = int(opt.state & ~QStyle::State_HasFocus); // the focus frame is drawn after
    key.nFeatures = int(opt.features);
    key.nAlignment = int(opt.displayAlignment);
    key.nDirection = opt.direction;
    key.nElide = opt.textElideMode;
    key.nFormat = pTarget->format();
    key.bDecorationSelected = opt.showDecorationSelected;
    key.pStyle = pStyle;
    key.open = open.translated(-offset - opt.rect.topLeft());
    // The ground is the colour at the open part's corner; a band kept for it is used only when
    // the open part of the band has that colour all over.
    key.ground = reinterpret_cast<const QRgb*>(pTarget->constScanLine(open.top()))[open.left()];
    if (qAlpha(key.ground) != 255)
        return false;
    CDrawnCells& cells = CDrawnCells::Get();
    const CDrawnCells::SBand* pBand = cells.Find(key);
    if (pBand && !groundOf(QRect(opt.rect.topLeft() + pBand->at, pBand->image.size()), key.ground))
        return false;
    // A cell not kept is laid out, and its band looked at, before anything is drawn over it.
    std::optional<QTextLayout> layout; // not made for a kept cell
    QPoint at;
    QRect band;
    bool bKeep = false;
    if (!pBand) {
        at = LayOut(layout.emplace(), opt, TextRect(opt));
        // The text's band across the cell's height, with room on each side for the glyphs'
        // edges beyond their advances.
        const QRectF text = layout->lineAt(0).naturalTextRect().translated(at);
        const int nRoom = QFontMetrics(opt.font).height() / 2;
        const int nLeft = int(std::floor(text.left())) - nRoom;
        band = QRect(nLeft, opt.rect.top(), int(std::ceil(text.right())) + nRoom - nLeft,
                     opt.rect.height()) &
               opt.rect;
        bKeep = groundOf(band, key.ground);
    }
    pStyle->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, pPainter, pWidget);
    if (pBand) {
        pPainter->drawImage(opt.rect.topLeft() + pBand->at, pBand->image);
        return true;
    }
    pPainter->setPen(TextColor(opt));
    layout->draw(pPainter, at);
    // What of the band could be painted is kept as drawn when all of it was (inside both clips,
    // the window's and the painter's): what it had under it is known. A cell cut by the grid's
    // edge (its last row) keeps the part shown, under a key that says which.
    const QRect shown = band & open.translated(-offset);
    const QRect on = shown.translated(offset);
    if (bKeep && !shown.isEmpty() && QRegion(on).subtracted(painted).isEmpty() &&
        QRegion(shown).subtracted(pPainter->clipRegion()).isEmpty())
        cells.Keep(key, {pTarget->copy(on), shown.topLeft() - opt.rect.topLeft()});
    return true;
}

// A header whose thickness is fixed (the grid's both are) tells the table that thickness as its
// size hint, without measuring its sections: the table asks for the hint each time it lays its
// parts out, and the header measured every section's text again after each change of rows (a
// brief of 40 years: a twentieth of opening the summary).
class CFixedHeader : public QHeaderView {
public:
    CFixedHeader(Qt::Orientation eOrientation, QWidget* pParent)
        : QHeaderView(eOrientation, pParent) {
        setSectionsClickable(true);
    }

    QSize sizeHint() const override {
        if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth())
            return QSize(minimumWidth(), defaultSectionSize());
        if (orientation() == Qt::Horizontal && minimumHeight() == maximumHeight())
            return QSize(defaultSectionSize(), minimumHeight());
        return QHeaderView::sizeHint();
    }
};

} // namespace

CMsflexgrid1::CMsflexgrid1(QWidget* pParent)
    : QTableView(pParent), m_pModel(new CGridModel(this)),
      m_pSettler(new CViewSettler(this, [this] {
          executeDelayedItemsLayout();
          updateGeometries();
          FillLastColumn();
      })) {
    setHorizontalHeader(new CFixedHeader(Qt::Horizontal, this));
    setVerticalHeader(new CFixedHeader(Qt::Vertical, this));
    setFont(CPlainFont::Font());
    setModel(m_pModel);
    setItemDelegate(new CCellDelegate(this));
    // A resized column or row is laid out and painted with the rest of the window, before its
    // next paint (the table view itself does it from a timer, after that paint: a grid being
    // filled was painted a second time).
    for (QHeaderView* pHeader : {horizontalHeader(), verticalHeader()}) {
        disconnect(pHeader, SIGNAL(sectionResized(int, int, int)), this, nullptr);
        connect(pHeader, &QHeaderView::sectionResized, m_pSettler, &CViewSettler::Soon);
    }
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setShowGrid(true);
    setGridStyle(Qt::NoPen); // the lines are filled in paintEvent
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    // Whole rows per scroll step: the top row then always starts at the top edge, which is
    // what GetTopRow() and the editors laid over cells rely on.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView* pTop = horizontalHeader();
    pTop->setSectionResizeMode(QHeaderView::Fixed);
    pTop->setSectionsClickable(true);
    pTop->setHighlightSections(false);
    pTop->setSortIndicatorShown(false);
    pTop->setStretchLastSection(false);
    pTop->setMinimumSectionSize(0);
    pTop->setDefaultSectionSize(TwipsToPixels(kDefaultColTwips));

    QHeaderView* pLeft = verticalHeader();
    pLeft->setSectionResizeMode(QHeaderView::Fixed);
    pLeft->setSectionsClickable(true);
    pLeft->setHighlightSections(false);
    pLeft->setMinimumSectionSize(0);
    pLeft->setDefaultSectionSize(fontMetrics().height() + 6);
    pTop->setFixedHeight(fontMetrics().height() + 8);

    m_colTwips = {kFixedColTwips, kDefaultColTwips};
    ApplyColWidths();

    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        OnCellClicked(index.row() + 1, index.column() + 1);
    });
    connect(pTop, &QHeaderView::sectionClicked, this,
            [this](int nSection) { OnCellClicked(0, nSection + 1); });
    connect(pLeft, &QHeaderView::sectionClicked, this,
            [this](int nSection) { OnCellClicked(nSection + 1, 0); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Q_EMIT Scroll(); });
    connect(m_pModel, &QAbstractItemModel::rowsInserted, m_pSettler, &CViewSettler::Soon);
    connect(m_pModel, &QAbstractItemModel::rowsRemoved, m_pSettler, &CViewSettler::Soon);
    connect(m_pModel, &QAbstractItemModel::modelReset, m_pSettler, &CViewSettler::Soon);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { Q_EMIT Scroll(); });
}

CMsflexgrid1::~CMsflexgrid1() = default;

void CMsflexgrid1::ForgetDrawnCells() {
    CDrawnCells::Get().Clear();
}

int CMsflexgrid1::TwipsToPixels(int nTwips) const {
    // 15 twips to a pixel on a 96-dpi screen; denser screens get proportionally more pixels.
    const int nDpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    return qRound(double(nTwips) / kTwipsPerPixel * nDpi / 96.0);
}

void CMsflexgrid1::ApplyColWidths() {
    verticalHeader()->setFixedWidth(TwipsToPixels(m_colTwips.value(0, kFixedColTwips)));
    for (int nCol = 1; nCol < m_colTwips.size(); ++nCol)
        SetColumnPixels(nCol - 1, TwipsToPixels(m_colTwips.at(nCol)));
    FillLastColumn();
}

void CMsflexgrid1::SetColumnPixels(int nViewCol, int nPixels) {
    if (columnWidth(nViewCol) != nPixels)
        setColumnWidth(nViewCol, nPixels);
}

void CMsflexgrid1::FillLastColumn() {
    // A hidden grid keeps the widths as set: views size themselves from them (CellRect)
    // before they are shown, and must not take a width the grid only borrowed to fill.
    const int nLast = static_cast<int>(m_colTwips.size()) - 1;
    if (nLast < 1 || !isVisible())
        return;
    int nOthers = 0;
    for (int nCol = 1; nCol < nLast; ++nCol)
        nOthers += columnWidth(nCol - 1);
    const int nWidth = std::max(TwipsToPixels(m_colTwips.at(nLast)), viewport()->width() - nOthers);
    SetColumnPixels(nLast - 1, nWidth);
}

void CMsflexgrid1::resizeEvent(QResizeEvent* pEvent) {
    QTableView::resizeEvent(pEvent);
    FillLastColumn();
}

void CMsflexgrid1::showEvent(QShowEvent* pEvent) {
    QTableView::showEvent(pEvent);
    FillLastColumn();
}

// The grid's lines where the table view draws them, in the colour the style gives, each filled
// as a one-pixel band. The table view strokes them with a cosmetic pen, pixel by pixel: a
// quarter of painting a brief.
void CMsflexgrid1::paintEvent(QPaintEvent* pEvent) {
    QTableView::paintEvent(pEvent);
    if (!showGrid())
        return;
    const QHeaderView* pTop = horizontalHeader();
    const QHeaderView* pLeft = verticalHeader();
    if (pTop->count() == 0 || pLeft->count() == 0)
        return;
    // The cells' area: the lines stop where the last row and column end.
    const int nWidth = pTop->length() - pTop->offset();
    const int nHeight = pLeft->length() - pLeft->offset();
    const bool bRightToLeft = isRightToLeft();
    const QRect cells(bRightToLeft ? viewport()->width() - nWidth : 0, 0, nWidth, nHeight);
    const QRect area = pEvent->rect() & cells;
    if (area.isEmpty())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor color = QColor::fromRgba(
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    QPainter painter(viewport());
    const auto first = [](const QHeaderView* pHeader, int nPos) {
        return std::max(pHeader->visualIndexAt(nPos), 0);
    };
    const auto last = [](const QHeaderView* pHeader, int nPos) {
        const int nIndex = pHeader->visualIndexAt(nPos);
        return nIndex < 0 ? pHeader->count() - 1 : nIndex;
    };
    const int nTopRow = first(pLeft, area.top());
    for (int nVisual = nTopRow; nVisual <= last(pLeft, area.bottom()); ++nVisual) {
        const int nRow = pLeft->logicalIndex(nVisual);
        if (pLeft->isSectionHidden(nRow))
            continue;
        const int y = rowViewportPosition(nRow) + rowHeight(nRow) - 1;
        painter.fillRect(QRect(area.left(), y, area.width(), 1), color);
    }
    const int nLeftCol = first(pTop, bRightToLeft ? area.right() : area.left());
    const int nRightCol = last(pTop, bRightToLeft ? area.left() : area.right());
    for (int nVisual = nLeftCol; nVisual <= nRightCol; ++nVisual) {
        const int nCol = pTop->logicalIndex(nVisual);
        if (pTop->isSectionHidden(nCol))
            continue;
        const int x = columnViewportPosition(nCol) + (bRightToLeft ? 0 : columnWidth(nCol) - 1);
        painter.fillRect(QRect(x, area.top(), 1, area.height()), color);
    }
    // Styles that ask for it close the grid at the top and the left when a header is hidden.
    if (!style()->styleHint(QStyle::SH_Table_AlwaysDrawLeftTopGridLines, &option, this))
        return;
    if (pTop->isHidden()) {
        const int nRow = pLeft->logicalIndex(nTopRow);
        if (!pLeft->isSectionHidden(nRow) && rowViewportPosition(nRow) == area.top())
            painter.fillRect(QRect(area.left(), area.top(), area.width(), 1), color);
    }
    if (pLeft->isHidden()) {
        const int nCol = pTop->logicalIndex(nLeftCol);
        const int x = bRightToLeft ? area.right() : area.left();
        if (!pTop->isSectionHidden(nCol) &&
            columnViewportPosition(nCol) + (bRightToLeft ? columnWidth(nCol) - 1 : 0) == x)
            painter.fillRect(QRect(x, area.top(), 1, area.height()), color);
    }
}

// A text cut short by its column (a long note) shows whole in a tip while the mouse rests on
// it; a marked row shows its own tip.
bool CMsflexgrid1::viewportEvent(QEvent* pEvent) {
    if (pEvent->type() == QEvent::Resize)
        FillLastColumn(); // a scroll bar came or went
    if (pEvent->type() == QEvent::ToolTip) {
        auto* pHelp = static_cast<QHelpEvent*>(pEvent);
        const QModelIndex index = indexAt(pHelp->pos());
        const QString strText = index.isValid() ? index.data().toString() : QString();
        const QRect cell = visualRect(index);
        const QString strMark =
            index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
        if (!strMark.isEmpty()) {
            QToolTip::showText(pHelp->globalPos(), strMark, viewport(), cell);
            return true;
        }
        // The cell's own padding on each side, as the item delegate draws it.
        const int nRoom =
            cell.width() - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        if (!strText.isEmpty() && fontMetrics().horizontalAdvance(strText) > nRoom)
            QToolTip::showText(pHelp->globalPos(), strText, viewport(), cell);
        else
            QToolTip::hideText();
        return true;
    }
    return QTableView::viewportEvent(pEvent);
}

void CMsflexgrid1::OnCellClicked(int nRow, int nCol) {
    m_nMouseRow = nRow;
    m_nMouseCol = nCol;
    // A click makes the cell current, as the keyboard does.
    m_nRow = nRow;
    m_nCol = nCol;
    Q_EMIT Click();
}

void CMsflexgrid1::SetRows(int nRows) {
    m_pModel->SetRows(nRows);
    m_nRow = qMin(m_nRow, GetRows() - 1);
}

int CMsflexgrid1::GetRows() const {
    return m_pModel->GetRows();
}

void CMsflexgrid1::SetCols(int nCols) {
    m_pModel->SetCols(nCols);
    const int nNew = GetCols();
    const int nOld = static_cast<int>(m_colTwips.size());
    m_colTwips.resize(nNew);
    for (int nCol = nOld; nCol < nNew; ++nCol)
        m_colTwips[nCol] = nCol == 0 ? kFixedColTwips : kDefaultColTwips;
    m_nCol = qMin(m_nCol, nNew - 1);
    // The model reset forgets the section sizes; put them back.
    ApplyColWidths();
}

int CMsflexgrid1::GetCols() const {
    return m_pModel->GetCols();
}

void CMsflexgrid1::SetRow(int nRow) {
    if (nRow >= 0 && nRow < GetRows())
        m_nRow = nRow;
}

int CMsflexgrid1::GetRow() const {
    return m_nRow;
}

void CMsflexgrid1::SetCol(int nCol) {
    if (nCol >= 0 && nCol < GetCols())
        m_nCol = nCol;
}

int CMsflexgrid1::GetCol() const {
    return m_nCol;
}

void CMsflexgrid1::SetText(const QString& strText) {
    m_pModel->SetText(m_nRow, m_nCol, strText);
}

QString CMsflexgrid1::GetText() const {
    return m_pModel->Text(m_nRow, m_nCol);
}

void CMsflexgrid1::SetColWidth(int nCol, int nTwips) {
    if (nCol < 0 || nCol >= GetCols())
        return;
    m_colTwips[nCol] = qMax(0, nTwips);
    if (nCol == 0)
        verticalHeader()->setFixedWidth(TwipsToPixels(m_colTwips.at(0)));
    else
        SetColumnPixels(nCol - 1, TwipsToPixels(m_colTwips.at(nCol)));
    FillLastColumn();
}

void CMsflexgrid1::WidenColToFit(int nCol) {
    if (nCol < 1 || nCol >= GetCols())
        return;
    const QFontMetrics metrics = fontMetrics();
    if (m_widthsFont != font() || m_dWidthsDpi != metrics.fontDpi() || m_textWidths.size() > 4096) {
        m_textWidths.clear();
        m_widthsFont = font();
        m_dWidthsDpi = metrics.fontDpi();
    }
    int nWidest = 0;
    for (int nRow = 0; nRow < GetRows(); ++nRow) {
        const QString strText = GetTextMatrix(nRow, nCol);
        auto it = m_textWidths.constFind(strText);
        if (it == m_textWidths.cend())
            it = m_textWidths.insert(strText, metrics.horizontalAdvance(strText));
        nWidest = std::max(nWidest, it.value());
    }
    // The cell's padding on each side, as the delegate draws it, and the grid line.
    const int nPixels =
        nWidest + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
    const int nDpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const int nTwips = qCeil(nPixels * kTwipsPerPixel * 96.0 / nDpi);
    if (nTwips > GetColWidth(nCol))
        SetColWidth(nCol, nTwips);
}

int CMsflexgrid1::GetColWidth(int nCol) const {
    return m_colTwips.value(nCol, 0);
}

QString CMsflexgrid1::GetTextMatrix(int nRow, int nCol) const {
    return m_pModel->Text(nRow, nCol);
}

void CMsflexgrid1::SetTextMatrix(int nRow, int nCol, const QString& strText) {
    m_pModel->SetText(nRow, nCol, strText);
}

int CMsflexgrid1::GetMouseRow() const {
    return m_nMouseRow;
}

int CMsflexgrid1::GetMouseCol() const {
    return m_nMouseCol;
}

int CMsflexgrid1::GetTopRow() const {
    const int nTop = rowAt(0);
    return nTop < 0 ? 1 : nTop + 1;
}

QRect CMsflexgrid1::CellRect(int nRow, int nCol, const QWidget* pTo) const {
    int nX = 0;
    int nWidth = 0;
    if (nCol == 0) {
        nX = verticalHeader()->geometry().x();
        nWidth = verticalHeader()->width();
    } else {
        nX = viewport()->geometry().x() + columnViewportPosition(nCol - 1);
        nWidth = columnWidth(nCol - 1);
    }
    int nY = 0;
    int nHeight = 0;
    if (nRow == 0) {
        nY = horizontalHeader()->geometry().y();
        nHeight = horizontalHeader()->height();
    } else {
        nY = viewport()->geometry().y() + rowViewportPosition(nRow - 1);
        nHeight = rowHeight(nRow - 1);
    }
    QRect rect(nX, nY, nWidth, nHeight);
    if (pTo == nullptr || pTo == this)
        return rect;
    const QPoint topLeft = pTo->mapFromGlobal(mapToGlobal(rect.topLeft()));
    return QRect(topLeft, rect.size());
}

void CMsflexgrid1::SetAllRows(const QVector<QStringList>& rows) {
    m_pModel->SetDataRows(rows);
    m_nRow = qMin(m_nRow, GetRows() - 1);
    ApplyColWidths();
}

void CMsflexgrid1::SetAllRows(CTextTable rows) {
    m_pModel->SetDataRows(std::move(rows));
    m_nRow = qMin(m_nRow, GetRows() - 1);
    ApplyColWidths();
}

const CTextTable& CMsflexgrid1::DataRows() const {
    return m_pModel->DataRows();
}

void CMsflexgrid1::SetMoreRows(int nAllRows, int nStep,
                               std::function<CTextTable(int, int)> fnMore) {
    m_pModel->SetMoreRows(nAllRows, nStep, std::move(fnMore));
}

void CMsflexgrid1::FetchAll() {
    m_pModel->FetchAll();
}

void CMsflexgrid1::SetRowMark(int nRow, const QColor& color, const QString& strTip) {
    m_pModel->SetRowMark(nRow, color, strTip);
}
