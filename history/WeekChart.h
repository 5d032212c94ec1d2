#pragma once

#include "journal/JournalWeek.h"

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <vector>

// The history window's stacked bar chart: one bar per day of a week, one colour per name (the largest
// names first, at the foot of each bar), and a legend. SetWeek prepares everything it shows; paintEvent
// only draws. A click on a bar reports its day.
class CWeekChart final : public QWidget {
    Q_OBJECT
public:
    // The legend's names are cut to this width, with an ellipsis.
    static constexpr int kLegendTextWidth = 180;

    explicit CWeekChart(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CWeekChart)

    void SetWeek(const JournalWeek& week, const QStringList& dayLabels);
    const QStringList& LegendLabels() const { return m_legend; }
    const std::vector<QColor>& Colours() const { return m_colours; }
    // The colour of the chart row `row`; the last of the palette is kept for "Other".
    static QColor Colour(int row, bool bOther);
    // The day of the bar under `pos`, or -1.
    int DayAt(QPoint pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void dayClicked(int day);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect PlotRect() const;
    QRect BarRect(int day) const;
    int LegendWidth() const;

    std::vector<JournalWeek::Row> m_rows;
    std::vector<QColor> m_colours;
    QStringList m_legend;
    QStringList m_dayLabels;
    qint64 m_scale = 3600; // seconds at the top of the plot: whole hours, at least one
};
