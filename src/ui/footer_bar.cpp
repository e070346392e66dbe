#include "ui/footer_bar.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

#include "ui/grid_model.h"

FooterBar::FooterBar(QTableView* view, GridModel* model, QWidget* parent)
    : QWidget(parent), m_view(view), m_model(model), m_background("#FFFFE1"), m_text(Qt::black) {
    // A window made shorter takes its room from the rows, never from the
    // footer: a footer squeezed to half its height shows no readable total.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(model, &GridModel::footerChanged, this, qOverload<>(&QWidget::update));
    connect(view->horizontalHeader(), &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
    connect(view->horizontalHeader(), &QHeaderView::sectionMoved, this, qOverload<>(&QWidget::update));
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
}

void FooterBar::setColors(const QColor& background, const QColor& text) {
    m_background = background;
    m_text = text;
    update();
}

QSize FooterBar::sizeHint() const {
    return {100, fontMetrics().height() + 8};
}

void FooterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_background);
    p.setPen(QColor("#C8C8A0"));
    p.drawLine(0, 0, width(), 0);
    p.setPen(m_text);
    const QHeaderView* header = m_view->horizontalHeader();
    const int offset = m_view->verticalHeader()->isVisible() ? m_view->verticalHeader()->width() : 0;
    for (int i = 0; i < m_model->footer().size(); ++i) {
        const int column = m_model->columnOf(m_model->footer()[i].field);
        if (column < 0 || m_view->isColumnHidden(column)) {
            continue;
        }
        const int x = offset + header->sectionViewportPosition(column) + m_view->frameWidth();
        const QString text = m_model->footerText(i);
        const int w = std::max(header->sectionSize(column), fontMetrics().horizontalAdvance(text) + 8);
        p.drawText(QRect(x + 3, 0, w - 6, height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    }
}
