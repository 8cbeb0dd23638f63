#include "cmschart3.h"

#include "data/cmoney.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

// Neighbouring categories must be told apart at a glance, so each slice gets its own hue.
const QColor kSliceColors[] = {
    QColor(0x4E, 0x79, 0xA7), QColor(0xF2, 0x8E, 0x2B), QColor(0xE1, 0x57, 0x59),
    QColor(0x76, 0xB7, 0xB2), QColor(0x59, 0xA1, 0x4F), QColor(0xED, 0xC9, 0x48),
    QColor(0xB0, 0x7A, 0xA1), QColor(0xFF, 0x9D, 0xA7), QColor(0x9C, 0x75, 0x5F),
    QColor(0xBA, 0xB0, 0xAC), QColor(0x86, 0xBC, 0xB6), QColor(0xD3, 0x72, 0x95),
};

// Width left for the plot beside the value axis labels, before the chart has laid itself out
// (the chart view fills the control, whose own size is always current).
int PlotWidth(const QWidget* pControl) {
    return std::max(40, pControl->width() - 90);
}

// A value axis over [dMin, dMax] with about five round steps (1, 2, 2.5 or 5 times a power of
// ten), always including 0 and leaving a little room above the tallest value, labelled with no
// more decimals than the step needs.
QValueAxis* NewValueAxis(double dMin, double dMax, const QFont& font) {
    dMin = std::min(dMin, 0.0);
    dMax = std::max(dMax, 0.0);
    if (dMax - dMin < 1e-9)
        dMax = dMin + 1.0;
    const double dRaw = (dMax - dMin) * 1.04 / 5.0;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    double dStep = 10.0 * dPower;
    for (const double dFactor : {1.0, 2.0, 2.5, 5.0}) {
        if (dFactor * dPower >= dRaw) {
            dStep = dFactor * dPower;
            break;
        }
    }
    const double dLow = dMin < 0.0 ? std::floor(dMin * 1.04 / dStep) * dStep : 0.0;
    const double dHigh = dMax > 0.0 ? std::ceil(dMax * 1.04 / dStep) * dStep : 0.0;
    auto* pAxis = new QValueAxis;
    pAxis->setRange(dLow, dHigh);
    pAxis->setTickCount(int(std::lround((dHigh - dLow) / dStep)) + 1);
    int nDecimals = 0;
    while (nDecimals < 2 && std::fabs(dStep * std::pow(10.0, nDecimals) -
                                      std::round(dStep * std::pow(10.0, nDecimals))) > 1e-6)
        ++nDecimals;
    pAxis->setLabelFormat(QStringLiteral("%.") + QString::number(nDecimals) + QStringLiteral("f"));
    pAxis->setLabelsFont(font);
    return pAxis;
}

} // namespace

CMschart3::CMschart3(EType eType, int nRows, int nColumns, QWidget* pParent)
    : QWidget(pParent), m_eType(eType), m_pView(new QChartView) {
    m_pView->setRenderHint(QPainter::Antialiasing);
    m_pView->setFrameShape(QFrame::NoFrame);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pView);
    SetColumnCount(std::max(1, nColumns));
    SetRowCount(std::max(1, nRows));
    Draw();
}

CMschart3::~CMschart3() = default;

QChart* CMschart3::Chart() const {
    return m_pView->chart();
}

// ---- property writes

void CMschart3::SetTitleText(const QString& strTitle) {
    m_strTitle = strTitle;
    Changed();
}

void CMschart3::SetRowCount(int nRows) {
    nRows = std::max(1, nRows);
    while (m_rowLabels.size() > nRows) {
        m_rowLabels.removeLast();
        m_data.removeLast();
    }
    while (m_rowLabels.size() < nRows) {
        m_rowLabels << QString();
        m_data << QStringList(m_columnLabels.size(), QStringLiteral("0"));
    }
    m_nRow = std::min(m_nRow, nRows);
    Changed();
}

void CMschart3::SetColumnCount(int nColumns) {
    nColumns = std::max(1, nColumns);
    while (m_columnLabels.size() > nColumns)
        m_columnLabels.removeLast();
    while (m_columnLabels.size() < nColumns)
        m_columnLabels << QString();
    for (QStringList& row : m_data) {
        while (row.size() > nColumns)
            row.removeLast();
        while (row.size() < nColumns)
            row << QStringLiteral("0");
    }
    m_nColumn = std::min(m_nColumn, nColumns);
    if (m_eType == EType::Pie) {
        // The legend lists every column; the chart must be tall enough to show all of them.
        const QFontMetrics fm(font());
        setMinimumHeight(fm.height() * 2 + 48 + nColumns * (fm.height() + 12));
    }
    Changed();
}

// A row or column outside the chart is not selected: the write that follows goes to the
// cell selected before, as a chart that refuses the index would leave it.
void CMschart3::SetRow(int nRow) {
    if (nRow >= 1 && nRow <= RowCount())
        m_nRow = nRow;
}

void CMschart3::SetColumn(int nColumn) {
    if (nColumn >= 1 && nColumn <= ColumnCount())
        m_nColumn = nColumn;
}

void CMschart3::SetRowLabel(const QString& strLabel) {
    m_rowLabels[m_nRow - 1] = strLabel;
    Changed();
}

void CMschart3::SetColumnLabel(const QString& strLabel) {
    m_columnLabels[m_nColumn - 1] = strLabel;
    Changed();
}

void CMschart3::SetData(const QString& strData) {
    m_data[m_nRow - 1][m_nColumn - 1] = strData;
    Changed();
}

// ---- reads

QString CMschart3::RowLabel(int nRow) const {
    return nRow >= 1 && nRow <= RowCount() ? m_rowLabels[nRow - 1] : QString();
}

QString CMschart3::ColumnLabel(int nColumn) const {
    return nColumn >= 1 && nColumn <= ColumnCount() ? m_columnLabels[nColumn - 1] : QString();
}

QString CMschart3::Data(int nRow, int nColumn) const {
    if (nRow < 1 || nRow > RowCount() || nColumn < 1 || nColumn > ColumnCount())
        return QString();
    return m_data[nRow - 1][nColumn - 1];
}

QStringList CMschart3::ColumnData(int nColumn) const {
    QStringList values;
    for (int r = 1; r <= RowCount(); ++r)
        values << Data(r, nColumn);
    return values;
}

QStringList CMschart3::RowData(int nRow) const {
    return nRow >= 1 && nRow <= RowCount() ? m_data[nRow - 1] : QStringList();
}

double CMschart3::Value(int nRow, int nColumn) const {
    const double d = CMoney::Atof(Data(nRow, nColumn));
    return std::isfinite(d) ? d : 0.0;
}

// ---- drawing

void CMschart3::Changed() {
    m_bDirty = true;
    if (m_bQueued)
        return;
    m_bQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bQueued = false;
            Refresh();
        },
        Qt::QueuedConnection);
}

void CMschart3::Refresh() {
    if (m_bDirty)
        Draw();
}

void CMschart3::Draw() {
    m_bDirty = false;
    QChart* pChart = NewChart();
    switch (m_eType) {
    case EType::Bar:
        DrawBar(pChart);
        break;
    case EType::Pie:
        DrawPie(pChart);
        break;
    case EType::Line:
        DrawLine(pChart);
        break;
    }
    QChart* pOld = m_pView->chart();
    m_pView->setChart(pChart);
    delete pOld;
    FitAxisLabels();
}

QChart* CMschart3::NewChart() const {
    auto* pChart = new QChart;
    pChart->setAnimationOptions(QChart::NoAnimation);
    pChart->setBackgroundRoundness(0);
    pChart->setMargins(QMargins(4, 4, 4, 4));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(font().pointSizeF() + 1);
    pChart->setTitleFont(titleFont);
    pChart->setTitle(m_strTitle);
    pChart->legend()->setFont(font());
    return pChart;
}

void CMschart3::DrawBar(QChart* pChart) const {
    auto* pSeries = new QBarSeries;
    double dMin = 0.0, dMax = 0.0;
    for (int r = 1; r <= RowCount(); ++r) {
        auto* pSet = new QBarSet(RowLabel(r));
        for (int c = 1; c <= ColumnCount(); ++c) {
            const double d = Value(r, c);
            *pSet << d;
            dMin = std::min(dMin, d);
            dMax = std::max(dMax, d);
        }
        pSeries->append(pSet);
    }
    pChart->addSeries(pSeries);
    // One bar per column: with a single row its colour says nothing a legend could add.
    pChart->legend()->setVisible(RowCount() > 1);

    auto* pAxisX = new QBarCategoryAxis;
    pAxisX->append(m_columnLabels);
    pAxisX->setLabelsFont(font());
    pChart->addAxis(pAxisX, Qt::AlignBottom);
    pSeries->attachAxis(pAxisX);
    QValueAxis* pAxisY = NewValueAxis(dMin, dMax, font());
    pChart->addAxis(pAxisY, Qt::AlignLeft);
    pSeries->attachAxis(pAxisY);
}

void CMschart3::DrawPie(QChart* pChart) const {
    auto* pSeries = new QPieSeries;
    pSeries->setPieSize(0.58);
    double dTotal = 0.0;
    for (int c = 1; c <= ColumnCount(); ++c)
        dTotal += std::max(0.0, Value(1, c));
    // Every column keeps its slice, so every category keeps its legend entry; a category of 0
    // (or below: a pie has no negative share) draws no wedge. The legend names each category
    // with its share; beside the wedge the share alone, so no text runs out of the chart.
    QStringList legend;
    for (int c = 1; c <= ColumnCount(); ++c) {
        const double d = std::max(0.0, Value(1, c));
        const QString strShare =
            dTotal > 0.0 ? QStringLiteral("%1%").arg(d / dTotal * 100.0, 0, 'f', 1) : QString();
        legend << (strShare.isEmpty() ? ColumnLabel(c)
                                      : ColumnLabel(c) + QLatin1Char(' ') + strShare);
        auto* pSlice = new QPieSlice(strShare, d);
        pSlice->setLabelFont(font());
        // Thin wedges are left to the legend, so their texts never pile up around the pie.
        pSlice->setLabelVisible(dTotal > 0.0 && d / dTotal >= 0.03);
        pSlice->setLabelArmLengthFactor(0.08);
        pSlice->setColor(kSliceColors[(c - 1) % std::size(kSliceColors)]);
        pSlice->setBorderColor(Qt::white);
        pSeries->append(pSlice);
    }
    pChart->addSeries(pSeries);
    const QList<QLegendMarker*> markers = pChart->legend()->markers(pSeries);
    for (int i = 0; i < markers.size() && i < legend.size(); ++i)
        markers[i]->setLabel(legend[i]);
    pChart->legend()->setAlignment(Qt::AlignRight);
    pChart->legend()->setVisible(true);
}

void CMschart3::DrawLine(QChart* pChart) const {
    auto* pSeries = new QLineSeries;
    pSeries->setName(ColumnLabel(1));
    pSeries->setPointsVisible(true);
    double dMin = 0.0, dMax = 0.0;
    for (int r = 1; r <= RowCount(); ++r) {
        const double d = Value(r, 1);
        pSeries->append(r - 1, d);
        dMin = std::min(dMin, d);
        dMax = std::max(dMax, d);
    }
    pChart->addSeries(pSeries);
    pChart->legend()->setVisible(false);

    auto* pAxisX = new QCategoryAxis;
    pAxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    pAxisX->setRange(-0.5, RowCount() - 0.5);
    pAxisX->setLabelsFont(font());
    pChart->addAxis(pAxisX, Qt::AlignBottom);
    pSeries->attachAxis(pAxisX);
    QValueAxis* pAxisY = NewValueAxis(dMin, dMax, font());
    pChart->addAxis(pAxisY, Qt::AlignLeft);
    pSeries->attachAxis(pAxisY);
}

void CMschart3::FitAxisLabels() {
    QChart* pChart = Chart();
    if (!pChart || pChart->axes(Qt::Horizontal).isEmpty())
        return;
    QAbstractAxis* pAxis = pChart->axes(Qt::Horizontal).first();
    const QFontMetrics fm(pAxis->labelsFont());
    // The axis keeps a padding on both sides of every label and shortens to "..." whatever
    // does not fit between them.
    const int nGap = 14;

    if (auto* pBars = qobject_cast<QBarCategoryAxis*>(pAxis)) {
        // A category label wider than its bar's slot is broken into lines of as many
        // characters as fit, so "生活用品" stands as "生活" over "用品" rather than "生...".
        const int nSlot = PlotWidth(this) / std::max(1, ColumnCount()) - nGap;
        QStringList labels;
        for (const QString& str : std::as_const(m_columnLabels)) {
            int nPerLine = str.size();
            while (nPerLine > 1 && fm.horizontalAdvance(str.left(nPerLine)) > nSlot)
                --nPerLine;
            QStringList lines;
            for (int i = 0; i < str.size(); i += nPerLine)
                lines << str.mid(i, nPerLine).toHtmlEscaped();
            // The axis keeps one category per distinct text: an invisible mark keeps two
            // columns of one label (or none yet) apart.
            QString strLabel = lines.join(QStringLiteral("<br>"));
            if (strLabel.isEmpty())
                strLabel = QChar(0x200B);
            while (labels.contains(strLabel))
                strLabel += QChar(0x200B);
            labels << strLabel;
        }
        if (labels != pBars->categories()) {
            pBars->clear();
            pBars->append(labels);
        }
        return;
    }

    if (auto* pLine = qobject_cast<QCategoryAxis*>(pAxis)) {
        // Too many rows for their labels side by side: label every n-th row.
        int nWidest = 1;
        for (const QString& str : std::as_const(m_rowLabels))
            nWidest = std::max(nWidest, fm.horizontalAdvance(str));
        const int nRows = RowCount();
        const double dPerRow = std::max(1.0, double(PlotWidth(this)) / nRows);
        const int nStep = std::max(1, int(std::ceil((nWidest + nGap / 2) / dPerRow)));
        for (const QString& str : pLine->categoriesLabels())
            pLine->remove(str);
        for (int r = 0; r < nRows; r += nStep) {
            // The axis takes each label once; a repeated or empty label is left out.
            if (!m_rowLabels[r].isEmpty() && !pLine->categoriesLabels().contains(m_rowLabels[r]))
                pLine->append(m_rowLabels[r], r);
        }
        pLine->setRange(-0.5, nRows - 0.5);
    }
}

void CMschart3::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    FitAxisLabels();
}

void CMschart3::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    Refresh();
}
