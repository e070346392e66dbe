#include "ui/list_reading.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

#include "data/database.h"
#include "platform/errors.h"

ListReading::ListReading(QLabel* line, QObject* parent) : QObject(parent), m_line(line), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ListReading::step);
    m_line->hide();
}

void ListReading::follow(Dataset* dataset) {
    if (m_dataset) {
        disconnect(m_dataset, nullptr, this, nullptr);
    }
    m_dataset = dataset;
    if (dataset) {
        connect(dataset, &Dataset::resetDone, this, &ListReading::restart);
        connect(dataset, &Dataset::readingEnded, this, &ListReading::showEnd);
    }
    restart();
}

bool ListReading::isReading() const {
    return m_dataset && m_dataset->hasMoreRows();
}

void ListReading::finish() {
    if (!m_dataset) {
        return;
    }
    m_timer->stop();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QPointer<ListReading> self(this);
    while (self && m_dataset && m_dataset->hasMoreRows()) {
        m_dataset->readMoreRows(kMostPartRows);
        if (!m_dataset->hasMoreRows()) {
            break;  // the line went with the last part
        }
        showProgress();
        m_line->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (self && m_dataset) {
        m_dataset->readRemainingRows();
    }
}

void ListReading::restart() {
    m_partRows = kFirstPartRows;
    m_line->setStyleSheet(QString());
    if (isReading()) {
        showProgress();
        m_timer->start(0);
    } else {
        // A list that stopped short stays said to be incomplete.
        m_timer->stop();
        showEnd();
    }
}

void ListReading::showEnd() {
    if (!m_dataset || !m_dataset->readStoppedShort()) {
        m_line->hide();
        return;
    }
    m_timer->stop();
    const qint64 expected = m_dataset->expectedRowCount();
    m_line->setText(
        expected < 0
            ? QStringLiteral("列表没有读完：只读到 %1 行。请检查网络后按 F5 重新读取。").arg(m_dataset->rowsRead())
            : QStringLiteral("列表没有读完：只读到 %1 行（共 %2 行）。请检查网络后按 F5 重新读取。")
                  .arg(m_dataset->rowsRead())
                  .arg(expected));
    m_line->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_line->show();
}

void ListReading::step() {
    if (!isReading()) {
        m_line->hide();
        return;
    }
    if (m_dataset->database().transactionDepth() > 0) {
        // A write is under way (a dialog's): the next part waits for it.
        m_timer->start(50);
        return;
    }
    if (!m_dataset->nextPartReady()) {
        // The server is still counting the list: the window stays free
        // meanwhile.
        m_timer->start(kWaitMilliseconds);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    int got = 0;
    try {
        got = m_dataset->readMoreRows(m_partRows);
    } catch (const std::exception& e) {
        // The rows read stay; the line says the list is incomplete until
        // it is read again.
        m_line->setText(userTextOf(e));
        m_line->setStyleSheet(QStringLiteral("color: #b00000;"));
        m_line->show();
        return;
    }
    if (!isReading()) {
        m_line->hide();
        return;
    }
    // The next part takes about as long as the time given to a part.
    const qint64 spent = qMax<qint64>(1, clock.elapsed());
    const qint64 fitting = static_cast<qint64>(got) * kPartMilliseconds / spent;
    m_partRows = static_cast<int>(std::clamp<qint64>(fitting, kLeastPartRows, kMostPartRows));
    showProgress();
    m_timer->start(0);
}

void ListReading::showProgress() {
    const qint64 expected = m_dataset->expectedRowCount();
    m_line->setText(
        expected < 0 ? QStringLiteral("正在读取列表：已读 %1 行…").arg(m_dataset->rowCount())
                     : QStringLiteral("正在读取列表：已读 %1 行，共 %2 行…").arg(m_dataset->rowCount()).arg(expected));
    m_line->show();
}
