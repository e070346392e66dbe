#include "master/units_window.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"

UnitsWindow::UnitsWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("base_unit_frm"), parent),
      m_editor(context.data().main(), context.clock(), context.prompter()),
      m_grid(new DataGrid(this)) {
    setWindowTitle(QStringLiteral("计量单位管理"));
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        QAction* a = actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), [this, handler] {
            handler();
            updateButtons();
        });
        auto* b = new QPushButton(a->text(), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        m_buttons.append(b);
        return b;
    };
    add("Action_Add", "增加", [this] { m_editor.add(); });
    add("Action_Edit", "编辑", [this] { m_editor.edit(); });
    add("Action_Delete", "删除", [this] { m_editor.remove(m_grid->selectedRows()); });
    add("Action_Save", "保存", [this] { m_editor.save(); });
    add("Action_Select", "选取", [this] {
        QString code;
        const bool chosen = m_editor.choose(m_editor.units().currentRow(), &code);
        updateButtons();
        if (chosen) {
            m_chosen = code;
            accept();
        }
    });
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &UnitsWindow::reject);
    connect(m_grid, &DataGrid::rowDoubleClicked, this, [this] {
        if (m_pick) {
            actions().execute(QStringLiteral("Action_Select"));
        }
    });
    connect(m_grid, &DataGrid::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : m_buttons) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_grid, 1);
    resize(520, 420);
}

void UnitsWindow::setPickMode(bool pick) {
    m_pick = pick;
    setWindowTitle(pick ? QStringLiteral("选取计量单位") : QStringLiteral("计量单位管理"));
}

QPushButton* UnitsWindow::button(const QString& caption) const {
    for (QPushButton* b : m_buttons) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

void UnitsWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (!m_grid->dataset()) {
        actions().guard([this] { open(); });
    }
}

void UnitsWindow::open() {
    m_editor.open();
    m_grid->setDataset(&m_editor.units());
    m_grid->setColumns({GridColumn::make("unit_code", QStringLiteral("编码"), 80),
                        GridColumn::make("Unit_name", QStringLiteral("计量单位"), 120).asEditable(),
                        GridColumn::make("remark", QStringLiteral("备注"), 200).asEditable()});
    m_grid->setFooter({FooterSummary::count("unit_code", QStringLiteral("共0个单位"))});
    m_grid->setMultiSelect(!m_pick);
    updateButtons();
}

void UnitsWindow::updateButtons() {
    const bool editable = m_editor.isEditable();
    m_grid->setReadOnly(!editable);
    button(QStringLiteral("保存"))->setEnabled(editable || m_editor.isChanged());
    button(QStringLiteral("编辑"))->setEnabled(!editable);
    button(QStringLiteral("选取"))->setVisible(m_pick);
}

bool UnitsWindow::confirmClose() {
    bool closing = false;
    actions().guard([this, &closing] { closing = m_editor.close(); });
    return closing;
}
