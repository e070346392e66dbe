#pragma once

#include <QWidget>

class GridModel;
class QTableView;

// The footer row of a grid: each summary drawn under its column, following
// the columns as they are resized, moved or scrolled.
class FooterBar : public QWidget {
    Q_OBJECT
public:
    FooterBar(QTableView* view, GridModel* model, QWidget* parent = nullptr);
    void setColors(const QColor& background, const QColor& text);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTableView* m_view;
    GridModel* m_model;
    QColor m_background;
    QColor m_text;
};
