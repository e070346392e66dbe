#include "documents/head_detail_document.h"

#include "data/database.h"
#include "data/dataset.h"
#include "platform/errors.h"
#include "platform/prompter.h"

HeadDetailDocument::HeadDetailDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName,
                                       const QString& headTable, const QString& keyField, const QString& linesTable,
                                       const QString& noun)
    : m_db(db),
      m_clock(clock),
      m_prompter(prompter),
      m_userName(userName),
      m_head(std::make_unique<Dataset>(db)),
      m_lines(std::make_unique<Dataset>(db)),
      m_headTable(headTable),
      m_keyField(keyField),
      m_linesTable(linesTable),
      m_noun(noun) {
    m_head->setUpdateTable(headTable);
    m_head->setRecordLabelField(keyField);
    m_lines->setUpdateTable(linesTable);
}

HeadDetailDocument::~HeadDetailDocument() = default;

QString HeadDetailDocument::key() const {
    return m_head->isEmpty() ? QString() : m_head->value(m_keyField).toString();
}

bool HeadDetailDocument::isStored() const {
    const QString no = key();
    // Inside a write on a server the row is locked until the write ends, so
    // a delete from another workstation waits for it or is seen by it.
    const QString lock = m_db.isAccess() || m_db.transactionDepth() == 0 ? QString() : QStringLiteral(" for update");
    return !no.isEmpty() && m_db.scalar(QStringLiteral("select count(*) from (select %1 from %2 where %1=:key%3) q")
                                            .arg(m_keyField, m_headTable, lock),
                                        {{"key", no}})
                                    .toInt() > 0;
}

bool HeadDetailDocument::save() {
    postPendingEdits();
    if (!validate()) {
        return false;
    }
    if (m_head->isEditing()) {
        m_head->post();
    }
    const bool nested = m_db.transactionDepth() > 0;
    try {
        WriteTransaction tx(m_db);
        // Lines of a document another workstation deleted would be left
        // without their head.
        if (m_mode == Existing && !isStored()) {
            throw UserError(QStringLiteral("%1[%2]已被其他用户删除，无法保存").arg(m_noun, key()));
        }
        // The head row is locked now: a save of the same document on
        // another workstation waits, then finds it changed.
        if (m_mode == Existing) {
            m_head->checkUnchangedElsewhere();
            m_lines->checkUnchangedElsewhere();
        }
        beforeWrite();
        m_head->applyUpdates();
        m_lines->applyUpdates();
        tx.commit();
    } catch (const DbError& e) {
        if (e.kind() != DbError::Kind::RecordChanged) {
            throw;
        }
        const QString refusal = QStringLiteral("%1[%2]已被其他用户修改，您的修改没有保存。").arg(m_noun, key());
        if (nested) {
            throw e.withMessage(refusal + QStringLiteral("请重新打开后再修改。"));
        }
        offerReload(m_prompter, refusal, [this] { reload(); });
        return false;
    }
    if (m_db.transactionDepth() == 0) {
        markSaved();
        return true;
    }
    // The caller's transaction may still roll back: the document counts as
    // saved only once it commits.
    const std::weak_ptr<bool> alive = m_alive;
    m_db.whenTransactionEnds(
        [this, alive] {
            if (alive.lock()) {
                markSaved();
            }
        },
        {});
    return true;
}

void HeadDetailDocument::markSaved() {
    m_lines->setTag(0);
    m_head->setTag(0);
    const bool wasNew = m_mode != Existing;
    m_mode = Existing;
    afterSaved(wasNew);
}

bool HeadDetailDocument::settleChanges(const std::function<bool()>& save) {
    if (!isModified()) {
        return true;
    }
    return settleUnsavedChanges(
        m_prompter, unsavedQuestion(), save ? save : [this] { return this->save(); }, [this] { discardChanges(); });
}

void HeadDetailDocument::reload() {
    discardChanges();
    if (!m_head->isEmpty()) {
        openLines();
    }
}

void HeadDetailDocument::discardChanges() {
    const QString no = key();
    if (m_head->isEditing()) {
        m_head->cancel();
    }
    m_head->cancelUpdates();
    m_head->open(QStringLiteral("select * from %1 where %2=:key").arg(m_headTable, m_keyField), {{"key", no}});
    m_head->setTag(0);
    if (m_lines->isEditing()) {
        m_lines->cancel();
    }
    m_lines->cancelUpdates();
    m_lines->setTag(0);
    if (m_head->isEmpty()) {
        m_lines->open(QStringLiteral("select * from %1 where 1=2").arg(m_linesTable));
    }
}

void HeadDetailDocument::clearParticulars(const QList<QPair<QString, QString>>& given) {
    for (const auto& [field, value] : given) {
        const QString held = m_head->value(field).toString().trimmed();
        if (!held.isEmpty() && held == value.trimmed()) {
            m_head->setValue(field, QVariant());
        }
    }
}
