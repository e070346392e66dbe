#include "ui/widget_header.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <algorithm>

WidgetHeader::WidgetHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    connect(this, &QHeaderView::sectionResized, this, &WidgetHeader::place);
    connect(this, &QHeaderView::sectionMoved, this, &WidgetHeader::place);
}

void WidgetHeader::setWidgets(const QList<QWidget*>& widgets) {
    for (const QPointer<QWidget>& old : std::as_const(m_widgets)) {
        if (old && !widgets.contains(old.data())) {
            old->deleteLater();
        }
    }
    m_widgets.clear();
    for (QWidget* w : widgets) {
        w->setParent(this);
        w->show();
        m_widgets << w;
    }
    // The table scrolls sideways under the header: the widgets follow.
    if (auto* view = qobject_cast<QAbstractItemView*>(parentWidget())) {
        connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &WidgetHeader::place,
                Qt::UniqueConnection);
    }
    updateGeometries();
}

int WidgetHeader::widgetHeight() const {
    int height = 0;
    for (const QPointer<QWidget>& w : m_widgets) {
        if (w) {
            height = std::max(height, w->sizeHint().height());
        }
    }
    return height;
}

QSize WidgetHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(size.height() + widgetHeight());
    return size;
}

void WidgetHeader::updateGeometries() {
    // The captions keep the top; the widgets take a strip below them.
    setViewportMargins(0, 0, 0, widgetHeight());
    QHeaderView::updateGeometries();
    place();
}

void WidgetHeader::place() {
    const int height = widgetHeight();
    for (int c = 0; c < m_widgets.size(); ++c) {
        if (!m_widgets[c]) {
            continue;
        }
        if (c >= count() || isSectionHidden(c)) {
            m_widgets[c]->hide();
            continue;
        }
        m_widgets[c]->setGeometry(sectionViewportPosition(c), this->height() - height, sectionSize(c), height);
        m_widgets[c]->show();
    }
}
