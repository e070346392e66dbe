#pragma once

#include <QLabel>

// A picture that acts as a button: it shows its "down" picture while
// pressed, reports the pointer moving over it, and says when it is clicked.
class PictureButton : public QLabel {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);
    void setPictures(const QPixmap& up, const QPixmap& down = {});
    void setPicture(const QPixmap& picture);

signals:
    void clicked();
    void hovered(int x, int y);
    void left();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap m_up;
    QPixmap m_down;
};
