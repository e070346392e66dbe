#pragma once

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <array>

#include "data/permission_checker.h"
#include "shell/bar_state.h"
#include "shell/program_windows.h"
#include "ui/action_manager.h"
#include "ui/progress_note.h"

class AppContext;
class PictureButton;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolButton;

// The home screen: a borderless window with its own title area, the bar of
// five picture buttons, six pages of entries, the settings and help menus
// and the status line. Every command is an action checked for the user.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Entries open their windows from `windows` by window name.
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr,
                        const WindowOpener& windows = ProgramWindows::table());
    ~MainWindow() override;
    ProgressNote& progressNote() { return m_progressNote; }

    ActionManager& actions() { return m_actions; }
    QStackedWidget* pages() const { return m_pages; }
    const BarState& bar() const { return m_bar; }
    QLabel* userLabel() const { return m_userLabel; }
    QLabel* loginTimeLabel() const { return m_timeLabel; }
    QLabel* versionLabel() const { return m_versionLabel; }
    QMenu* settingsMenu() const { return m_settingsMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    PictureButton* barButton(int n) const { return m_barButtons[n - 1]; }

    // Shows the log-in dialog; true when a user logged in.
    bool logInDialog();
    void InitMainWindow();
    // A click on bar button n, as the mouse gives it.
    void barClick(int n);

    // Windows that come with later work: the entry's action runs (and so
    // its check), then this says so.
    static QString notYetOpenText() { return QStringLiteral("该功能尚未开放"); }

    static QString restoreQuestion() {
        return QStringLiteral("恢复会用备份文件中的数据替换当前账本的全部数据（当前账本会先另存一份）。是否继续？");
    }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildActions();
    QWidget* buildTitleArea();
    QWidget* buildBar();
    QWidget* buildPages();
    QWidget* buildStatus();
    void showPage(int index);
    void refreshBar();
    QPixmap artwork(const QString& file);
    // Opens a window of the program by its window name, modally.
    void openWindow(const QString& windowName, int startParameter);
    // 备份账本 and 恢复账本 of the settings menu.
    void backupBook();
    void restoreBook();

    AppContext& m_context;
    // The program's running-operation note, lent to the context while the
    // main window lives.
    ProgressNote m_progressNote;
    const WindowOpener& m_windows;
    PermissionChecker m_permissions;
    ActionManager m_actions;
    BarState m_bar;
    std::array<PictureButton*, 5> m_barButtons{};
    QStackedWidget* m_pages = nullptr;
    QLabel* m_userLabel = nullptr;
    QLabel* m_timeLabel = nullptr;
    QDateTime m_loginTime;  // of the last log-in that succeeded
    QLabel* m_versionLabel = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QToolButton* m_helpButton = nullptr;
    QWidget* m_titleArea = nullptr;
    QWidget* m_grip = nullptr;
    // A drag runs from a left press on the title (moving) or on the grip
    // (resizing) to its release; moves without such a press do nothing.
    enum class Drag { None, Move, Resize };
    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    QRect m_geometryAtDrag;
    // Where the window may stand: its title stays on the screen.
    QPoint keptOnScreen(const QPoint& topLeft) const;
    bool m_firstShow = true;
    QStringList m_missingArtwork;
};
