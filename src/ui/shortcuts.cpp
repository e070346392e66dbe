#include "ui/shortcuts.h"

#include <QAbstractButton>
#include <QAction>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "data/app_context.h"
#include "platform/prompter.h"
#include "ui/base_window.h"

namespace {
// Enter in a list's search box runs the search, and only that: the
// window's default button is not pressed too.
class EnterSearches : public QObject {
public:
    EnterSearches(QLineEdit* box, std::function<void()> search) : QObject(box), m_search(std::move(search)) {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_search();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_search;
};

const char* const kKeysProperty = "olvendKeys";
const char* const kInstalledProperty = "olvendKeysInstalled";

// The keys listed in a window's help, in the order they were bound.
struct Listed {
    QString key;
    QString what;
};

QList<Listed> listed(const BaseWindow& window) {
    QList<Listed> out;
    for (const QVariant& v : window.property(kKeysProperty).toList()) {
        const QStringList pair = v.toStringList();
        out.append({pair.value(0), pair.value(1)});
    }
    return out;
}

void list(BaseWindow& window, const QKeySequence& key, const QString& what) {
    QVariantList keys = window.property(kKeysProperty).toList();
    keys.append(QStringList{key.toString(QKeySequence::NativeText), what});
    window.setProperty(kKeysProperty, keys);
}
}  // namespace

QKeySequence Shortcuts::forAction(const QString& actionName) {
    static const QHash<QString, QKeySequence> keys{
        {"action_save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"action_savecustomer", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"action_print", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"action_add", QKeySequence(Qt::Key_Insert)},
        {"action_addcustomer", QKeySequence(Qt::Key_Insert)},
        {"action_delete", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"action_deletecustomer", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"action_deletegoods", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"action1_delete", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"action_edit", QKeySequence(Qt::Key_F2)},
        {"action_editcustomer", QKeySequence(Qt::Key_F2)},
        {"action_editgoods", QKeySequence(Qt::Key_F2)},
    };
    return keys.value(actionName.toLower());
}

QString Shortcuts::keyNote(const QKeySequence& key) {
    return QStringLiteral("（%1）").arg(key.toString(QKeySequence::NativeText));
}

void Shortcuts::install(BaseWindow& window) {
    if (window.property(kInstalledProperty).toBool()) {
        return;
    }
    window.setProperty(kInstalledProperty, true);
    QHash<QString, QKeySequence> bound;  // lower-case action name
    for (QAction* a : window.actions().actions()) {
        const QKeySequence key = forAction(a->objectName());
        if (key.isEmpty() || !a->shortcut().isEmpty()) {
            continue;
        }
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        a->setToolTip(a->text() + keyNote(key));
        window.addAction(a);
        bound.insert(a->objectName().toLower(), key);
        list(window, key, a->text());
    }
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        const QString name = b->property("action").toString().toLower();
        if (bound.contains(name) && !b->toolTip().contains(keyNote(bound.value(name)))) {
            b->setToolTip((b->toolTip().isEmpty() ? b->text() : b->toolTip()) + keyNote(bound.value(name)));
        }
    }
    add(window, QKeySequence(Qt::Key_F1), QStringLiteral("帮助：本窗口的快捷键"),
        [&window] { window.context().prompter().inform(helpText(window)); });
}

void Shortcuts::add(BaseWindow& window, const QKeySequence& key, const QString& what, std::function<void()> work) {
    auto* a = new QAction(what, &window);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(a, &QAction::triggered, &window, [&window, work] { window.actions().guard(work); });
    window.addAction(a);
    list(window, key, what);
}

void Shortcuts::addListKeys(BaseWindow& window, QLineEdit* searchBox, QAbstractButton* searchButton,
                            QAbstractButton* rereadButton, std::function<void()> reread, std::function<void()> filter) {
    auto* pause = new QTimer(searchBox);
    pause->setSingleShot(true);
    pause->setInterval(250);
    QObject::connect(pause, &QTimer::timeout, searchBox,
                     [&window, filter = std::move(filter)] { window.actions().guard(filter); });
    QObject::connect(searchBox, &QLineEdit::textEdited, pause, qOverload<>(&QTimer::start));
    new EnterSearches(searchBox,
                      [&window, searchButton] { window.actions().guard([searchButton] { searchButton->click(); }); });
    const QKeySequence find(Qt::CTRL | Qt::Key_F);
    const QKeySequence again(Qt::Key_F5);
    add(window, find, QStringLiteral("查找框"), [searchBox] {
        searchBox->setFocus();
        searchBox->selectAll();
    });
    add(window, again, QStringLiteral("重新读取列表"), std::move(reread));
    searchButton->setToolTip(searchButton->text() + keyNote(find));
    rereadButton->setToolTip(rereadButton->text() + keyNote(again));
}

QString Shortcuts::overview() {
    return QStringLiteral(
        "快捷键（每个窗口按 F1 可查看本窗口的快捷键）：\n"
        "Ctrl+S\t保存\n"
        "Ctrl+P\t打印\n"
        "Insert\t新增：单据中到表格下方的输入行，输入货品编号、名称或拼音首字母（如 中空玻璃 输入 zkbl）\n"
        "Ctrl+Delete\t删除选中的行\n"
        "F2\t编辑当前单元格或记录\n"
        "F5\t重新读取列表\n"
        "Ctrl+F\t到查找框（编号、名称、拼音首字母）\n"
        "回车\t在下拉列表中选取；在单据表格中依次到 数量、单价、备注 和下一行\n"
        "Esc\t关闭下拉列表，不改动内容");
}

QString Shortcuts::helpText(BaseWindow& window) {
    QStringList lines{QStringLiteral("%1的快捷键：").arg(window.windowTitle())};
    for (const Listed& l : listed(window)) {
        lines << QStringLiteral("%1\t%2").arg(l.key, l.what);
    }
    return lines.join('\n');
}
