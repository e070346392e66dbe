#pragma once

#include <QHeaderView>
#include <QList>
#include <QPointer>

// A table's column header with a widget under each caption (a field
// choice, a filter), kept in line with its column as columns are resized
// and the table scrolls, and always in sight above the rows.
class WidgetHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit WidgetHeader(QWidget* parent = nullptr);

    // The widgets, one per column in order; the header takes them, and
    // deletes those it held before.
    void setWidgets(const QList<QWidget*>& widgets);
    QWidget* widget(int column) const { return m_widgets.value(column); }

    QSize sizeHint() const override;

protected:
    void updateGeometries() override;

private:
    // Puts each widget under its caption, where the column is now.
    void place();
    int widgetHeight() const;

    QList<QPointer<QWidget>> m_widgets;
};
