#include "ui/list_window_frame.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/action_manager.h"
#include "ui/base_window.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

ListWindowFrame::ListWindowFrame(BaseWindow& window, const QString& title, const QString& dateCaption,
                                 const QDate& today, const std::function<void()>& query)
    : m_window(window),
      m_title(new QLabel(title, &window)),
      m_from(new NullableDateEdit(&window)),
      m_to(new NullableDateEdit(&window)),
      m_dateBar(new QHBoxLayout),
      m_buttons(new QHBoxLayout) {
    m_from->setValue(today.startOfDay());
    m_to->setValue(today.startOfDay());
    m_title->setObjectName(QStringLiteral("title"));
    QFont big = m_title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_title->setFont(big);
    auto* queryButton = new QPushButton(QStringLiteral("查询"), &window);
    queryButton->setObjectName(QStringLiteral("queryButton"));
    QObject::connect(queryButton, &QPushButton::clicked, &window, query);
    m_dateBar->addWidget(m_title);
    m_dateBar->addSpacing(20);
    m_dateBar->addWidget(new QLabel(dateCaption, &window));
    m_dateBar->addWidget(new QLabel(QStringLiteral("从"), &window));
    m_dateBar->addWidget(m_from);
    m_dateBar->addWidget(new QLabel(QStringLiteral("到"), &window));
    m_dateBar->addWidget(m_to);
    m_dateBar->addWidget(queryButton);
}

void ListWindowFrame::addToDateBar(QWidget* widget) {
    m_dateBar->addWidget(widget);
}

QPushButton* ListWindowFrame::addButton(const QString& caption, const QString& action) {
    auto* b = new QPushButton(caption, &m_window);
    b->setObjectName(action);
    QObject::connect(b, &QPushButton::clicked, m_window.actions().action(action), &QAction::trigger);
    m_buttons->addWidget(b);
    return b;
}

void ListWindowFrame::addToButtons(QWidget* widget) {
    m_buttons->addWidget(widget);
}

void ListWindowFrame::finish(DataGrid* grid, int width, int height) {
    m_dateBar->addStretch();
    m_buttons->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭窗口"), &m_window);
    close->setObjectName(QStringLiteral("closeButton"));
    QObject::connect(close, &QPushButton::clicked, &m_window, &BaseWindow::reject);
    m_buttons->addWidget(close);
    auto* layout = new QVBoxLayout(&m_window);
    layout->addLayout(m_dateBar);
    layout->addLayout(m_buttons);
    layout->addWidget(grid, 1);
    m_window.resize(width, height);
}

Period ListWindowFrame::period() const {
    const Period period{m_from->checkedDate(QStringLiteral("开始日期")), m_to->checkedDate(QStringLiteral("结束日期"))};
    period.check();
    return period;
}
