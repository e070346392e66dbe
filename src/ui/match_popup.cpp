#include "ui/match_popup.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QScrollBar>
#include <QTreeWidget>

MatchPopup::MatchPopup(QLineEdit* edit, const QStringList& headers)
    : MatchPopup(
          edit, headers, [edit] { return edit->text(); },
          [edit](const QString& text) {
              edit->setText(text);
              emit edit->textEdited(text);
          }) {
    connect(edit, &QLineEdit::textEdited, this, &MatchPopup::refresh);
}

MatchPopup::MatchPopup(QWidget* edit, const QStringList& headers, std::function<QString()> text,
                       std::function<void(const QString&)> setTyped)
    : QObject(edit),
      m_edit(edit),
      m_text(std::move(text)),
      m_setTyped(std::move(setTyped)),
      m_list(new QTreeWidget(edit->window())) {
    // Laid over the edit's window, never a window of its own: nothing takes
    // the focus or the activation from the edit.
    m_list->hide();
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setFrameShape(QFrame::Box);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels(headers);
    m_list->header()->setStretchLastSection(false);
    m_list->setObjectName(QStringLiteral("matchPopup"));
    connect(m_list, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { take(m_list->indexOfTopLevelItem(item)); });
    edit->installEventFilter(this);
}

MatchPopup::~MatchPopup() {
    delete m_list.data();
}

bool MatchPopup::isShown() const {
    return m_list && m_list->isVisible();
}

int MatchPopup::currentRow() const {
    return m_list && m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
}

void MatchPopup::hide() {
    if (m_list) {
        m_list->hide();
    }
}

void MatchPopup::setTextAsTyped(const QString& text) {
    if (!m_edit || !m_list) {
        return;
    }
    m_quiet = true;
    m_setTyped(text);
    m_quiet = false;
    m_list->hide();
}

void MatchPopup::refresh() {
    if (m_quiet || !m_list) {
        return;
    }
    const QString text = m_edit ? m_text() : QString();
    m_rows = text.trimmed().isEmpty() || !finder ? QList<QStringList>() : finder(text);
    m_list->clear();
    if (m_rows.isEmpty()) {
        m_list->hide();
        return;
    }
    QList<QTreeWidgetItem*> items;
    for (const QStringList& row : m_rows) {
        items.append(new QTreeWidgetItem(row));
    }
    m_list->addTopLevelItems(items);
    m_list->setCurrentItem(items.first());
    for (int c = 0; c < m_list->columnCount(); ++c) {
        m_list->resizeColumnToContents(c);
    }
    place();
    m_list->show();
    m_list->raise();
}

void MatchPopup::place() {
    // Under the edit (above it when the window has no room below), as wide
    // as its columns, inside the window.
    QWidget* window = m_list->parentWidget();
    const QRect area = window->rect();
    int width = 2 * m_list->frameWidth() + 4;
    for (int c = 0; c < m_list->columnCount(); ++c) {
        width += m_list->columnWidth(c);
    }
    if (m_rows.size() > 12) {
        width += m_list->verticalScrollBar()->sizeHint().width();
    }
    width = qMin(qMax(width, m_edit->width()), area.width());
    const int rows = qMin(int(m_rows.size()), 12);
    int height = m_list->header()->sizeHint().height() + rows * (m_list->sizeHintForRow(0) + 1) + 6;
    const QPoint top = m_edit->mapTo(window, QPoint(0, 0));
    QPoint at(top.x(), top.y() + m_edit->height());
    if (at.y() + height > area.bottom() && top.y() > area.bottom() - at.y()) {
        height = qMin(height, top.y());
        at.setY(top.y() - height);
    } else {
        height = qMin(height, area.bottom() - at.y());
    }
    at.setX(qMax(0, qMin(at.x(), area.right() - width)));
    m_list->setGeometry(QRect(at, QSize(width, height)));
}

void MatchPopup::take(int row) {
    if (row < 0 || row >= m_rows.size()) {
        return;
    }
    const QStringList chosenRow = m_rows.at(row);
    m_list->hide();
    emit chosen(chosenRow);
}

bool MatchPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit || !m_list) {
        return false;  // the window is going with its list
    }
    if (event->type() == QEvent::FocusOut || event->type() == QEvent::Hide) {
        m_list->hide();
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const bool shown = m_list->isVisible();
    switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp: {
            if (!shown) {
                return false;
            }
            const int page = key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp ? 10 : 1;
            const int step = key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown ? page : -page;
            m_list->setCurrentItem(m_list->topLevelItem(qBound(0, currentRow() + step, int(m_rows.size()) - 1)));
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (shown && currentRow() >= 0) {
                take(currentRow());
                return true;
            }
            m_list->hide();
            if (!isSignalConnected(QMetaMethod::fromSignal(&MatchPopup::entered))) {
                return false;  // the editor's own Enter (a new line in a memo)
            }
            emit entered(m_text());
            return true;
        case Qt::Key_Escape:
            if (shown) {
                m_list->hide();
                return true;
            }
            return false;
        default:
            return false;
    }
}
