#pragma once

#include <QString>
#include <functional>

#include "platform/period.h"

class BaseWindow;
class DataGrid;
class NullableDateEdit;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// The layout every list of documents shares: a large title and the date
// bar (its caption, From and To set to today, 查询), a row of command
// buttons ending in 关闭窗口, and the grid below them. The window adds its
// own widgets to either row.
class ListWindowFrame {
public:
    // `query` runs when 查询 is pressed.
    ListWindowFrame(BaseWindow& window, const QString& title, const QString& dateCaption, const QDate& today,
                    const std::function<void()>& query);

    QLabel* title() const { return m_title; }
    NullableDateEdit* from() const { return m_from; }
    NullableDateEdit* to() const { return m_to; }
    void addToDateBar(QWidget* widget);
    // A button that runs the window's action of that name.
    QPushButton* addButton(const QString& caption, const QString& action);
    void addToButtons(QWidget* widget);
    // Ends the button row and lays out the window with the grid below.
    void finish(DataGrid* grid, int width, int height);

    // The period the date boxes hold; a date that is no day, or a From
    // after the To, is refused (UserError) with the user's words.
    Period period() const;

private:
    BaseWindow& m_window;
    QLabel* m_title;
    NullableDateEdit* m_from;
    NullableDateEdit* m_to;
    QHBoxLayout* m_dateBar;
    QHBoxLayout* m_buttons;
};
