#include "tools/ctl_records.h"

#include <QMap>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/permission_checker.h"
#include "master/master_export.h"
#include "master/master_import_run.h"
#include "platform/errors.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_session.h"

namespace {
// The records import and export move, by the word the command takes, with
// the list window whose commands they stand for.
const QMap<QString, QPair<MasterKind, QString>>& masterKinds() {
    static const QMap<QString, QPair<MasterKind, QString>> kinds{
        {QStringLiteral("customers"), {MasterKind::Customers, QStringLiteral("Form_Client_List")}},
        {QStringLiteral("suppliers"), {MasterKind::Suppliers, QStringLiteral("Form_Provider_List")}},
        {QStringLiteral("goods"), {MasterKind::Goods, QStringLiteral("base_goods_frm")}},
        {QStringLiteral("order-customers"), {MasterKind::OrderCustomers, QStringLiteral("Form_Order_Customer_List")}}};
    return kinds;
}
}  // namespace

CtlRecords::CtlRecords(CtlSession& session) : m_session(session) {}

int CtlRecords::importRecords(const QStringList& args) {
    const QMap<QString, QPair<MasterKind, QString>>& kinds = masterKinds();
    CtlArguments a;
    if (!a.parse(args, {"--check", "--create-classes"}, {"--group"})) {
        return CtlSession::kWrongUse;
    }
    const QStringList& positional = a.words();
    const QString group = a.value("--group");
    const bool checkOnly = a.has("--check");
    const bool createClasses = a.has("--create-classes");
    if (positional.size() != 2 || !kinds.contains(positional[0])) {
        return CtlSession::kWrongUse;
    }
    const auto [kind, form] = kinds.value(positional[0]);
    m_session.openBook();
    if (!m_session.actingUserMay(QStringLiteral("Action_Import"), form)) {
        return 3;
    }
    Database& db = m_session.context().data().main();
    PermissionChecker permissions(db, m_session.context().CurrentUser);
    MasterImportRun importRun(db, m_session.context().clock(), m_session.context().CurrentUser.UserName, kind,
                              CostProfitRight::heldBy(permissions));
    MasterImport& importer = importRun.importer();
    if (createClasses && kind != MasterKind::Goods) {
        throw UserError(QStringLiteral("--create-classes 只用于导入商品"));
    }
    importer.setCreatesClasses(createClasses);
    if (!group.isEmpty()) {
        const QString groups = MasterColumns::groupTable(kind);
        // By its ID, else by its name, which must be one group's only.
        QVariant id =
            db.scalar(QStringLiteral("select id from %1 where CAST(id AS VARCHAR(20))=:g").arg(groups), {{"g", group}});
        if (id.isNull()) {
            if (db.scalar(QStringLiteral("select count(*) from %1 where Class_name=:g").arg(groups), {{"g", group}})
                    .toInt() > 1) {
                throw UserError(QStringLiteral("有多个类别叫[%1]，请用类别的编号").arg(group));
            }
            id = db.scalar(QStringLiteral("select min(id) from %1 where Class_name=:g").arg(groups), {{"g", group}});
        }
        if (id.isNull()) {
            throw UserError(QStringLiteral("找不到类别: %1").arg(group));
        }
        importer.setTargetGroup(id);
    } else {
        importer.setTargetGroup(1);
    }
    // Read only once the user may import: a large file costs time.
    if (!importRun.read(positional[1])) {
        throw UserError(MasterImportRun::noRowsText());
    }
    const QStringList mapping = importRun.recognisedMapping();
    // Columns left out are said, so that nothing is dropped unnoticed.
    for (const QString& note : importer.leftOutColumns(importRun.sheet(), mapping)) {
        m_session.err() << note << Qt::endl;
    }
    const MasterImport::Plan& plan = importRun.check(mapping);
    for (const MasterImport::Refusal& r : plan.refused) {
        m_session.err() << QStringLiteral("第 %1 行: %2").arg(r.rowNumber).arg(r.reason) << Qt::endl;
    }
    for (const QString& made : plan.newClasses) {
        m_session.err()
            << (checkOnly ? QStringLiteral("将新建商品分类: %1") : QStringLiteral("新建商品分类: %1")).arg(made)
            << Qt::endl;
    }
    const int written = checkOnly ? 0 : importer.write(plan);
    m_session.out() << (checkOnly ? int(plan.accepted.size()) : written) << Qt::endl;
    // Every row refused is a failure a script should see.
    if (plan.accepted.isEmpty()) {
        m_session.err() << QStringLiteral("没有可以导入的行") << Qt::endl;
        return 1;
    }
    return 0;
}

int CtlRecords::exportRecords(const QStringList& args) {
    const QMap<QString, QPair<MasterKind, QString>>& kinds = masterKinds();
    if (args.size() != 2 || !kinds.contains(args[0])) {
        return CtlSession::kWrongUse;
    }
    const auto [kind, form] = kinds.value(args[0]);
    m_session.openBook();
    // 导出 of the list; the purchase price with the right to see costs.
    if (!m_session.actingUserMay(QStringLiteral("Action_Export"), form)) {
        return 3;
    }
    PermissionChecker permissions(m_session.context().data().main(), m_session.context().CurrentUser);
    m_session.out()
        << MasterExport(m_session.context().data().main()).write(kind, args[1], CostProfitRight::heldBy(permissions))
        << Qt::endl;
    return 0;
}
