#include "documents/price_history_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "data/field_def.h"

PriceHistoryDialog::PriceHistoryDialog(const QString& title, const QList<PriceHistory::Quoted>& rows, QWidget* parent)
    : QDialog(parent), m_table(new QTableWidget(int(rows.size()), 4, this)) {
    setObjectName(QStringLiteral("PriceHistoryDialog"));
    setWindowTitle(title);
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("订货单编号"), QStringLiteral("订货日期"), QStringLiteral("数量"), QStringLiteral("单价")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < rows.size(); ++r) {
        const PriceHistory::Quoted& q = rows[r];
        const auto number = [](const QVariant& v, int decimals) {
            auto* item = new QTableWidgetItem(v.isNull() ? QString() : formatFixed(v.toDouble(), decimals));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return item;
        };
        m_table->setItem(r, 0, new QTableWidgetItem(q.billNo));
        m_table->setItem(r, 1, new QTableWidgetItem(q.date.toString(QStringLiteral("yyyy-MM-dd"))));
        // Quantities are whole or carry their decimals; prices two places.
        const double qty = q.quantity.toDouble();
        m_table->setItem(r, 2, number(q.quantity, qty == double(qint64(qty)) ? 0 : 2));
        m_table->setItem(r, 3, number(q.price, 2));
    }
    m_table->resizeColumnsToContents();

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(480, 360);
}
