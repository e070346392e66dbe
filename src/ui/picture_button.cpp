#include "ui/picture_button.h"

#include <QMouseEvent>

PictureButton::PictureButton(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::setPictures(const QPixmap& up, const QPixmap& down) {
    m_up = up;
    m_down = down;
    setPixmap(up);
    if (!up.isNull()) {
        setFixedSize(up.size());
    }
}

void PictureButton::setPicture(const QPixmap& picture) {
    setPixmap(picture);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !m_down.isNull()) {
        setPixmap(m_down);
    }
    QLabel::mousePressEvent(event);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_down.isNull()) {
        setPixmap(m_up);
    }
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
    emit hovered(event->position().toPoint().x(), event->position().toPoint().y());
    QLabel::mouseMoveEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    emit left();
    QLabel::leaveEvent(event);
}
