#include "ui/progress_note.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QScreen>

#include "platform/ansi_text.h"

ProgressNote::ProgressNote(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("ceDialog_RuntimeInfo_Frm"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor("#C4C4FF"));
    setPalette(p);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_label);
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &ProgressNote::tick);
}

void ProgressNote::showText(const QString& text) {
    m_message = cutToAnsiBytes(text, kMaxBytes);
    m_dots = QStringLiteral(".....");
    refresh();
    m_timer.start();
    adjustSize();
    // Centred on the active window (the main window while the program runs).
    const QWidget* anchor = QApplication::activeWindow();
    const QRect area =
        anchor ? anchor->frameGeometry() : (screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600));
    move(area.center() - rect().center());
    show();
    raise();
    // Painted at once, without running the event loop: the work that
    // follows must not be interleaved with timers and queued calls.
    repaint();
}

void ProgressNote::hideNote() {
    m_timer.stop();
    hide();
}

void ProgressNote::tick() {
    m_dots = m_dots.size() >= 5 ? QStringLiteral(".") : m_dots + '.';
    refresh();
}

void ProgressNote::refresh() {
    m_label->setText(m_message + m_dots);
    adjustSize();
    update();
}
