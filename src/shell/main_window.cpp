#include "shell/main_window.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "admin/book_backup.h"
#include "admin/book_restore.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/prompter.h"
#include "shell/login_dialog.h"
#include "ui/base_window.h"
#include "ui/picture_button.h"
#include "ui/shortcuts.h"
#include "ui/style_holder.h"

namespace {
struct Entry {
    const char* caption;
    const char* action;  // empty: opens its window directly
    const char* picture;
    const char* window;
    int parameter;
    bool visible;
};

// The pages in their order, with their entries.
const QList<QList<Entry>>& pageEntries() {
    static const QList<QList<Entry>> pages = {
        {{"收款收据", "Action4", "entry_bill.jpg", "frm_GainBill", 2, true},
         {"收据记录表", "Action1", "entry_list.jpg", "frm_GainBill_list", 0, true}},
        {{"查询订货单", "Action8", "entry_query.jpg", "Query_Panel_Frm", 5, true},
         {"单据查询", "Action5", "entry_query.jpg", "Query_Panel_Frm", 1, false},
         {"工作单查询", "Action6", "entry_query.jpg", "Query_Panel_Frm", 2, true},
         {"出仓单查询", "Action7", "entry_query.jpg", "Query_Panel_Frm", 3, true},
         {"出货单查询", "Action_ShipmentQuery", "entry_query.jpg", "Query_Panel_Frm", 4, true}},
        {{"收入统计", "Action9", "entry_report.jpg", "Report_Dusmere_IncomePriceDetail_Frm", 0, true},
         {"支出统计", "Action10", "entry_report.jpg", "Report_Dusmere_payout_Frm", 0, true},
         {"利润统计", "Action11", "entry_report.jpg", "Report_Dusmere_gain_frm", 0, true},
         {"客户对账单", "Action_CustomerStatement", "entry_report.jpg", "Report_CustomerStatement_Frm", 0, true},
         {"应收账款账龄", "Action_ReceivablesAging", "entry_report.jpg", "Report_ReceivablesAging_Frm", 0, true}},
        {{"客户档案管理", "Action12", "entry_base.jpg", "Form_Client_List", 0, true},
         {"供应商管理", "Action23", "entry_base.jpg", "Form_Provider_List", 0, true},
         // The customers the order forms name.
         {"订单客户管理", "Action25", "entry_base.jpg", "Form_Order_Customer_List", 0, true},
         {"基础商品", "", "entry_base.jpg", "base_goods_frm", 0, true},
         {"计量单位", "Action24", "entry_base.jpg", "base_unit_frm", 0, true},
         // The standard price table has no other way in.
         {"单价表默认值", "Action14", "entry_base.jpg", "Base_CustomerPrice_Frm", 1, true}},
        {{"运输费", "Action16", "entry_payout.jpg", "frm_payout", 0, true},
         {"工资", "Action17", "entry_payout.jpg", "frm_payout", 1, true},
         {"日杂项", "Action18", "entry_payout.jpg", "frm_payout", 2, true},
         {"汇款", "Action19", "entry_payout.jpg", "frm_payout", 4, true}},
        // The order forms' entries of the first page, which no bar button
        // shows, are here too beside the quotations.
        {{"订货单管理", "Action21", "entry_list.jpg", "Form_Quotation_List", 0, true},
         {"收款收据", "Action4", "entry_bill.jpg", "frm_GainBill", 2, true},
         {"收据记录表", "Action1", "entry_list.jpg", "frm_GainBill_list", 0, true}},
    };
    return pages;
}

// Bar button n runs this action.
QString barAction(int n) {
    switch (n) {
        case 1:
            return QStringLiteral("Action22");
        case 2:
            return QStringLiteral("Action15");
        case 3:
            return QStringLiteral("Action_stat_report");
        case 4:
            return QStringLiteral("Action_query_bill");
        case 5:
            return QStringLiteral("Action_base_info");
        default:
            return {};
    }
}
}  // namespace

MainWindow::~MainWindow() {
    m_context.setProgressReporter(nullptr);
}

MainWindow::MainWindow(AppContext& context, QWidget* parent, const WindowOpener& windows)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_context(context),
      m_windows(windows),
      m_permissions(context.data(), context.CurrentUser),
      m_actions(QStringLiteral("main_frm"), m_permissions, context.prompter(), this) {
    setObjectName(QStringLiteral("main_frm"));
    context.setProgressReporter(&m_progressNote);
    setWindowTitle(context.SoftwareInfo.Title);
    setMinimumSize(820, 600);
    setMaximumSize(1032, 776);
    QFont f = font();
    f.setFamily(StyleHolder::fontFamily());
    setFont(f);

    buildActions();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTitleArea());
    layout->addWidget(buildBar());
    layout->addWidget(buildPages(), 1);
    layout->addWidget(buildStatus());
    resize(900, 640);
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
}

QPixmap MainWindow::artwork(const QString& file) {
    // The artwork is built into the program; a copy in the program folder
    // replaces it. A picture found nowhere leaves its place empty and is
    // named to the user when the window first shows.
    QPixmap picture(m_context.paths().resourceFile(file));
    if (picture.isNull() && !m_missingArtwork.contains(file)) {
        m_missingArtwork << file;
    }
    return picture;
}

void MainWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        m_actions.add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
    };
    add("Action_input_bill", "填制单据", [this] { showPage(0); });
    add("Action_query_bill", "单据查询", [this] { showPage(1); });
    add("Action_stat_report", "统计报表", [this] { showPage(2); });
    add("Action_base_info", "基本资料", [this] { showPage(3); });
    add("Action15", "支出管理", [this] { showPage(4); });
    add("Action22", "订货单", [this] {
        showPage(5);
        m_actions.execute(QStringLiteral("Action21"));
    });
    QSet<QString> added;
    for (const QList<Entry>& page : pageEntries()) {
        for (const Entry& e : page) {
            // An entry on two pages runs one action.
            if (*e.action && !added.contains(QString::fromLatin1(e.action))) {
                added.insert(QString::fromLatin1(e.action));
                const QString window = QString::fromLatin1(e.window);
                const int parameter = e.parameter;
                add(e.action, e.caption, [this, window, parameter] { openWindow(window, parameter); });
            }
        }
    }
    add("Action13", "管理系统参数表", [this] { openWindow(QStringLiteral("Sys_TableFieldStatus_frm"), 0); });
    add("Action2", "Action2", {});
    add("Action3", "Action3", {});
    add("Action20", "Action20", {});
    add("Action_ChangePassword", "修改密码", [this] { openWindow(QStringLiteral("SYS_ChangePassword_Frm"), 0); });
    add("Action_ManuItemPowerManger", "用户权限管理",
        [this] { openWindow(QStringLiteral("Sys_User_Operation_Frm"), 0); });
    add("Action_SysCorpInfo", "使用单位资料", [this] { openWindow(QStringLiteral("SYS_CurrCorpInfo_Frm"), 0); });
    add("Action_BackupBook", "备份账本", [this] { backupBook(); });
    add("Action_RestoreBook", "恢复账本", [this] { restoreBook(); });
    add("Action_LoginAgain", "重新登陆", [this] {
        if (logInDialog()) {
            InitMainWindow();
        }
    });
    add("Action_ManuSystemSetting", "系统选项",
        [this] { m_settingsMenu->popup(m_settingsButton->mapToGlobal(QPoint(0, m_settingsButton->height()))); });
    add("Action_ManuHelp", "帮助",
        [this] { m_helpMenu->popup(m_helpButton->mapToGlobal(QPoint(0, m_helpButton->height()))); });
}

QWidget* MainWindow::buildTitleArea() {
    m_titleArea = new QLabel(this);
    auto* title = static_cast<QLabel*>(m_titleArea);
    title->setObjectName(QStringLiteral("Panel_Title"));
    title->setFixedHeight(64);
    title->setPixmap(artwork(QStringLiteral("title.jpg")));
    title->setScaledContents(true);
    title->installEventFilter(this);
    auto* row = new QHBoxLayout(title);
    row->setContentsMargins(8, 6, 8, 6);
    row->addStretch();
    const struct {
        const char* name;
        int n;
        const char* hint;
    } buttons[] = {
        {"Image12", 1, "打开帮助文档"}, {"Image13", 3, "最小化"}, {"Image8", 2, "最大化"}, {"Image14", 4, "退出"}};
    for (const auto& b : buttons) {
        auto* button = new PictureButton(title);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setPictures(artwork(QStringLiteral("MenuB%1_Normal.jpg").arg(b.n)),
                            artwork(QStringLiteral("MenuB%1_Down.jpg").arg(b.n)));
        row->addWidget(button, 0, Qt::AlignTop);
        switch (b.n) {
            case 1:
                connect(button, &PictureButton::clicked, this,
                        [this] { m_actions.execute(QStringLiteral("Action_ManuHelp")); });
                break;
            case 2:
                connect(button, &PictureButton::clicked, this,
                        [this] { isMaximized() ? showNormal() : showMaximized(); });
                break;
            case 3:
                connect(button, &PictureButton::clicked, this, &QWidget::showMinimized);
                break;
            default:
                connect(button, &PictureButton::clicked, qApp, &QApplication::quit);
                break;
        }
    }
    return title;
}

QWidget* MainWindow::buildBar() {
    auto* bar = new QWidget(this);
    bar->setAutoFillBackground(true);
    QPalette p = bar->palette();
    p.setColor(QPalette::Window, QColor("#0F2650"));
    bar->setPalette(p);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(4);
    for (int n = 1; n <= 5; ++n) {
        auto* button = new PictureButton(bar);
        button->setObjectName(QStringLiteral("cxImage_BarButton%1").arg(n));
        button->setPictures(artwork(QStringLiteral("normal%1.jpg").arg(n)));
        m_barButtons[n - 1] = button;
        connect(button, &PictureButton::clicked, this, [this, n] { barClick(n); });
        connect(button, &PictureButton::hovered, this, [this, n](int x, int y) {
            m_bar.hovered(n, x, y);
            refreshBar();
        });
        connect(button, &PictureButton::left, this, [this] {
            m_bar.leave();
            refreshBar();
        });
        row->addWidget(button);
    }
    row->addStretch();

    m_settingsMenu = new QMenu(this);
    m_settingsMenu->setObjectName(QStringLiteral("PopupMenu_Setting"));
    m_settingsMenu->addAction(m_actions.action("Action_ChangePassword"));
    m_settingsMenu->addAction(QStringLiteral("系统设置"), this, [this] {
        m_actions.guard([this] { openWindow(QStringLiteral("SYS_SystemSetting_Frm"), 0); });
    });
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(m_actions.action("Action_ManuItemPowerManger"));
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(m_actions.action("Action_SysCorpInfo"));
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(m_actions.action("Action_BackupBook"));
    m_settingsMenu->addAction(m_actions.action("Action_RestoreBook"));
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(m_actions.action("Action_LoginAgain"));
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(QStringLiteral("退出系统"), qApp, &QApplication::quit);
    m_helpMenu = new QMenu(this);
    m_helpMenu->setObjectName(QStringLiteral("PopupMenu_Help"));
    m_helpMenu->addAction(QStringLiteral("快捷键..."), this,
                          [this] { m_actions.guard([this] { m_context.prompter().inform(Shortcuts::overview()); }); });
    m_helpMenu->addAction(QStringLiteral("关于..."), this,
                          [this] { m_actions.guard([this] { openWindow(QStringLiteral("About_Frm"), 0); }); });

    const QString speedStyle = QStringLiteral(
        "QToolButton { color: #E8F0FF; border: none; padding: 4px 10px; }"
        "QToolButton:hover { color: #FED547; }");
    m_settingsButton = new QToolButton(bar);
    m_settingsButton->setObjectName(QStringLiteral("SpeedButton_Setting"));
    m_settingsButton->setText(QStringLiteral("系统选项"));
    m_settingsButton->setStyleSheet(speedStyle);
    connect(m_settingsButton, &QToolButton::clicked, this,
            [this] { m_actions.execute(QStringLiteral("Action_ManuSystemSetting")); });
    m_helpButton = new QToolButton(bar);
    m_helpButton->setObjectName(QStringLiteral("SpeedButton_help"));
    m_helpButton->setText(QStringLiteral("帮助"));
    m_helpButton->setStyleSheet(speedStyle);
    connect(m_helpButton, &QToolButton::clicked, this,
            [this] { m_actions.execute(QStringLiteral("Action_ManuHelp")); });
    row->addWidget(m_settingsButton);
    row->addWidget(m_helpButton);
    return bar;
}

QWidget* MainWindow::buildPages() {
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setStyleSheet(QStringLiteral("QStackedWidget { background: #F2F9F9; }"));
    const QList<QList<Entry>>& pages = pageEntries();
    for (int index = 0; index < pages.size(); ++index) {
        auto* page = new QWidget(m_pages);
        auto* grid = new QGridLayout(page);
        grid->setContentsMargins(60, 40, 60, 40);
        grid->setHorizontalSpacing(40);
        grid->setVerticalSpacing(24);
        int slot = 0;
        for (const Entry& e : pages[index]) {
            const QString caption = QString::fromUtf8(e.caption);
            const QString action = QString::fromLatin1(e.action);
            const QString window = QString::fromLatin1(e.window);
            const int parameter = e.parameter;
            auto run = [this, action, window, parameter] {
                if (action.isEmpty()) {
                    m_actions.guard([&] { openWindow(window, parameter); });
                } else {
                    m_actions.execute(action);
                }
            };
            auto* picture = new PictureButton(page);
            // The second showing of an entry is named by its page as well.
            const QString name = QStringLiteral("cxImage_%1").arg(action.isEmpty() ? window : action);
            picture->setObjectName(m_pages->findChild<PictureButton*>(name) ? name + QStringLiteral("_%1").arg(index)
                                                                            : name);
            picture->setPictures(artwork(QString::fromLatin1(e.picture)));
            auto* label = new PictureButton(page);
            label->setText(caption);
            label->setStyleSheet(QStringLiteral("QLabel { color: navy; font-size: 15px; font-weight: bold; }"));
            connect(picture, &PictureButton::clicked, this, run);
            connect(label, &PictureButton::clicked, this, run);
            picture->setVisible(e.visible);
            label->setVisible(e.visible);
            if (e.visible) {
                grid->addWidget(picture, slot / 2, (slot % 2) * 2, Qt::AlignRight);
                grid->addWidget(label, slot / 2, (slot % 2) * 2 + 1, Qt::AlignLeft);
                ++slot;
            }
        }
        grid->setRowStretch(grid->rowCount(), 1);
        m_pages->addWidget(page);
    }
    return m_pages;
}

QWidget* MainWindow::buildStatus() {
    auto* status = new QWidget(this);
    status->setFixedHeight(26);
    auto* row = new QHBoxLayout(status);
    row->setContentsMargins(10, 2, 2, 2);
    m_userLabel = new QLabel(QStringLiteral("未登录"), status);
    m_userLabel->setObjectName(QStringLiteral("cxLabel_Username"));
    m_timeLabel = new QLabel(status);
    m_timeLabel->setObjectName(QStringLiteral("cxLabel_LoginTime"));
    m_versionLabel = new QLabel(status);
    m_versionLabel->setObjectName(QStringLiteral("Label_version"));
    m_versionLabel->setStyleSheet(QStringLiteral("color: silver;"));
    row->addWidget(new QLabel(QStringLiteral("当前用户:"), status));
    row->addWidget(m_userLabel);
    row->addSpacing(20);
    row->addWidget(new QLabel(QStringLiteral("登陆时间:"), status));
    row->addWidget(m_timeLabel);
    row->addStretch();
    row->addWidget(m_versionLabel);
    m_grip = new QLabel(QStringLiteral("◢"), status);
    m_grip->setObjectName(QStringLiteral("Image15"));
    m_grip->setCursor(Qt::SizeFDiagCursor);
    m_grip->installEventFilter(this);
    row->addWidget(m_grip);
    return status;
}

void MainWindow::showPage(int index) {
    m_pages->setCurrentIndex(index);
}

void MainWindow::refreshBar() {
    for (int n = 1; n <= 5; ++n) {
        const char* prefix = m_bar.state(n) == BarState::Active ? "active"
                             : m_bar.state(n) == BarState::Hot  ? "hot"
                                                                : "normal";
        m_barButtons[n - 1]->setPicture(artwork(QStringLiteral("%1%2.jpg").arg(QLatin1String(prefix)).arg(n)));
    }
}

void MainWindow::barClick(int n) {
    const QString action = barAction(n);
    if (action.isEmpty()) {
        return;
    }
    const bool ran = m_actions.execute(action);
    m_bar.clicked(n, ran);
    refreshBar();
}

bool MainWindow::logInDialog() {
    LoginDialog dialog(m_context, this);
    dialog.service().initMainWindow = [this] { InitMainWindow(); };
    if (runWindow(m_context, dialog) != QDialog::Accepted) {
        return false;
    }
    m_loginTime = m_context.clock().now();
    return true;
}

void MainWindow::InitMainWindow() {
    m_userLabel->setText(m_context.CurrentUser.UserName.isEmpty() ? QStringLiteral("未登录")
                                                                  : m_context.CurrentUser.UserName);
    if (!m_context.CurrentUser.UserName.isEmpty()) {
        // The time of the log-in that succeeded: a failed attempt also runs
        // this (the book was switched), but nobody logged in then.
        if (!m_loginTime.isValid()) {
            m_loginTime = m_context.clock().now();
        }
        m_timeLabel->setText(m_loginTime.toString("yyyyMMdd HH:mm:ss"));
    }
    showPage(5);
    m_bar.activate(1);
    refreshBar();
    m_context.data().ConnectDatabases();
    m_versionLabel->setText(QStringLiteral("软件版本:") + m_context.SoftwareInfo.Title);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_firstShow) {
        return;
    }
    m_firstShow = false;
    if (!m_missingArtwork.isEmpty()) {
        m_context.prompter().error(QStringLiteral("找不到程序的界面图片: %1\n程序安装不完整，请重新安装。")
                                       .arg(m_missingArtwork.join(QStringLiteral(", "))));
    }
    if (m_context.CurrentUser.UserName.isEmpty()) {
        if (!logInDialog()) {
            // Without a log-in the program ends.
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
            return;
        }
        m_actions.guard([this] { InitMainWindow(); });
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool title = watched == m_titleArea;
    const bool grip = watched == m_grip;
    if (!title && !grip) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) {
                break;
            }
            m_drag = title ? Drag::Move : Drag::Resize;
            m_dragStart = mouse->globalPosition().toPoint();
            m_geometryAtDrag = geometry();
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_drag != Drag::None) {
                m_drag = Drag::None;
                return true;
            }
            break;
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton)) {
                m_drag = Drag::None;  // a release that never arrived
                break;
            }
            if (m_drag != (title ? Drag::Move : Drag::Resize)) {
                break;
            }
            const QPoint offset = mouse->globalPosition().toPoint() - m_dragStart;
            if (title) {
                move(keptOnScreen(m_geometryAtDrag.topLeft() + offset));
            } else if (!isMaximized()) {
                resize(m_geometryAtDrag.size() + QSize(offset.x(), offset.y()));
                update();
            }
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

QPoint MainWindow::keptOnScreen(const QPoint& topLeft) const {
    const QScreen* where = screen();
    if (!where) {
        return topLeft;
    }
    const QRect room = where->availableGeometry();
    // Enough of the title stays in sight to take hold of it again.
    const int keep = std::min(120, width());
    const int titleHeight = m_titleArea ? std::max(20, m_titleArea->height()) : 30;
    const int x = std::clamp(topLeft.x(), room.left() - width() + keep, room.right() - keep);
    const int y = std::clamp(topLeft.y(), room.top(), std::max(room.top(), room.bottom() - titleHeight));
    return {x, y};
}

void MainWindow::openWindow(const QString& windowName, int startParameter) {
    if (!m_windows.open(m_context, windowName, startParameter, this)) {
        m_context.prompter().inform(notYetOpenText());
    }
}

namespace {
const QString kBackupFilter = QStringLiteral("账本备份 (*.db);;所有文件 (*)");
}  // namespace

void MainWindow::backupBook() {
    const QString suggested =
        QDir::home().filePath(QStringLiteral("%1-%2.db")
                                  .arg(m_context.CurrentAccountBook.BookName,
                                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    // An existing file is refused with its reason rather than replaced.
    const QString file = m_context.files().choose(
        FileQuestion::saveFile(QStringLiteral("备份账本"), suggested, kBackupFilter, QString(), false));
    if (file.isEmpty()) {
        return;
    }
    BookBackup(m_context).backup(QString(), file);
    m_context.prompter().inform(QStringLiteral("账本已备份到：%1").arg(QDir::toNativeSeparators(file)));
}

void MainWindow::restoreBook() {
    const QString file =
        m_context.files().choose(FileQuestion::openFile(QStringLiteral("恢复账本"), QDir::homePath(), kBackupFilter));
    if (file.isEmpty()) {
        return;
    }
    // A file that cannot restore is refused before the user is asked.
    BookRestore(m_context).check(file);
    if (!m_context.prompter().askYesNo(restoreQuestion())) {
        return;
    }
    const QString savedAs = BookRestore(m_context).restore(QString(), file);
    m_context.prompter().inform(
        QStringLiteral("账本已恢复。恢复前的账本已另存为：%1").arg(QDir::toNativeSeparators(savedAs)));
}
