#include "documents/payout_list_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "documents/payout_edit_window.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/list_grid_setup.h"
#include "ui/shortcuts.h"

PayoutListWindow::PayoutListWindow(AppContext& context, int payoutKind, QWidget* parent)
    : BaseWindow(context, QStringLiteral("frm_payout"), parent),
      m_list(context.data().main(), context.prompter(), payoutKind),
      m_grid(new DataGrid(this)) {
    setWindowTitle(QStringLiteral("支出管理"));
    buildActions();
    Shortcuts::add(*this, QKeySequence(Qt::Key_F5), QStringLiteral("重新读取列表"), [this] {
        const int row = m_list.rows().currentRow();
        reread(row >= 0 ? m_list.rows().value(row, "id") : QVariant());
    });

    auto kinds = std::make_shared<LookupList>();
    m_grid->setReadOnly(true);
    m_grid->setMultiSelect(true);
    m_grid->setColumns({
        GridColumn::make("id", QStringLiteral("id"), 40).hidden(),
        GridColumn::make("paytime", QStringLiteral("发生日期"), 100).withFormat("YYYY-MM-DD"),
        GridColumn::make("subject", QStringLiteral("支出类型"), 90).withLookup(kinds),
        GridColumn::make("totalprice", QStringLiteral("支出金额"), 100).withFormat("0.00"),
        GridColumn::make("remark", QStringLiteral("支出备注"), 260),
    });
    m_grid->setFooter({FooterSummary::count("paytime", QStringLiteral("共 0 条记录")),
                       FooterSummary::sum("totalprice", QStringLiteral("合计：0.00"))});
    m_grid->setInitialSort("paytime", Qt::DescendingOrder);
    connect(m_grid, &DataGrid::rowDoubleClicked, this,
            [this](int) { actions().execute(QStringLiteral("Action_Edit")); });

    const bool opened = actions().guard([this, kinds] {
        kinds->loadCodeList(this->context().data().main(), "payout", "subject");
        m_list.open();
        m_grid->setDataset(&m_list.rows());
    });
    if (opened) {
        prepareListGrid(*m_grid, this->context());
        showRow(QVariant());  // the rows were just read
    }
    m_frame = std::make_unique<ListWindowFrame>(*this, m_list.kind().title, QStringLiteral("制单日期:"),
                                                this->context().clock().today(), [this] { filterByDate(); });
    m_frame->addButton(QStringLiteral("添加"), QStringLiteral("Action_Add"));
    m_frame->addButton(QStringLiteral("编辑"), QStringLiteral("Action_Edit"));
    m_frame->addButton(QStringLiteral("删除"), QStringLiteral("Action_Delete"));
    m_frame->finish(m_grid, 760, 560);
}

void PayoutListWindow::runEditor(int mode) {
    PayoutEditWindow editor(context(), m_list, mode, this);
    editor.showModal();
}

void PayoutListWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
    };
    add("Action_Add", "添加", [this] {
        runEditor(PayoutEditor::New);
        const Dataset& rows = m_list.rows();
        // The payout just saved (or the last one of several) stays current.
        reread(rows.currentRow() >= 0 ? rows.value(rows.currentRow(), "id") : QVariant());
    });
    add("Action_Edit", "编辑", [this] {
        const QVariantList ids = selectedIds();
        if (!m_list.checkEditSelection(static_cast<int>(ids.size()))) {
            return;
        }
        m_list.rows().locate("id", ids.first());
        runEditor(PayoutEditor::Existing);
        reread(ids.first());
    });
    add("Action_Delete", "删除", [this] {
        if (m_list.remove(selectedIds())) {
            reread(QVariant());
        }
    });
}

QVariantList PayoutListWindow::selectedIds() const {
    QVariantList ids;
    for (int r : m_grid->selectedRows()) {
        ids.append(m_list.rows().value(r, "id"));
    }
    return ids;
}

void PayoutListWindow::reread(const QVariant& id) {
    m_list.refresh();
    showRow(id);
}

void PayoutListWindow::showRow(const QVariant& id) {
    Dataset& rows = m_list.rows();
    // The payout asked for when the grid shows it; else the first row the
    // grid shows, so that the current row is always the one selected.
    if (id.isNull() || !rows.locate("id", id) || m_grid->model()->gridRow(rows.currentRow()) < 0) {
        const int first = m_grid->model()->datasetRow(0);
        if (first < 0) {
            m_grid->view()->clearSelection();
            return;
        }
        rows.setCurrentRow(first);
    }
    m_grid->selectRow(rows.currentRow());
}

void PayoutListWindow::filterByDate() {
    actions().guard([this] {
        const Period period = m_frame->period();
        // The book is read again: what other workstations saved shows too.
        const Dataset& rows = m_list.rows();
        const QVariant current = rows.currentRow() >= 0 ? rows.value(rows.currentRow(), "id") : QVariant();
        m_list.refresh();
        m_grid->clearFilters();
        m_grid->setDateFilter("paytime", period);
        showRow(current);
    });
}
