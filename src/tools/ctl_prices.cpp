#include "tools/ctl_prices.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "master/price_table.h"
#include "platform/errors.h"
#include "tools/ctl_documents.h"

namespace {
const QString kWindow = QStringLiteral("Base_CustomerPrice_Frm");
}  // namespace

CtlPrices::CtlPrices(CtlSession& session)
    : m_session(session), m_context(session.context()), m_out(session.out()), m_prompter(session.prompter()) {}

bool CtlPrices::wellFormed(const QStringList& args) {
    if (args.isEmpty()) {
        return false;
    }
    const QString& command = args[0];
    if (command == "show") {
        return args.size() <= 2 && (args.size() == 1 || !isAssignment(args[1]));
    }
    if (command == "reset") {
        return args.size() == 2 && !isAssignment(args[1]);
    }
    if (command == "set") {
        const int first = args.size() > 1 && !isAssignment(args[1]) ? 2 : 1;
        if (first >= args.size()) {
            return false;
        }
        for (int i = first; i < args.size(); ++i) {
            if (!isAssignment(args[i])) {
                return false;
            }
        }
        return true;
    }
    return false;
}

int CtlPrices::run(const QStringList& args) {
    const QString& command = args[0];
    const QString customer = args.size() > 1 && !isAssignment(args[1]) ? args[1] : QString();
    // The rights, and every value of a set, are checked before anything
    // is written: a customer's first opening already writes its table.
    if (!mayOpen(customer)) {
        return 3;
    }
    PriceTable table(m_context.data().main(), m_prompter);
    if (command == "show") {
        open(table, customer);
        return show(table);
    }
    if (command == "reset") {
        if (!m_session.actingUserMay(QStringLiteral("Action_SetAsDefault"), kWindow)) {
            return 3;
        }
        table.resetCustomer(customer);
        return show(table);
    }
    if (!m_session.actingUserMay(QStringLiteral("Action_save"), kWindow)) {
        return 3;
    }
    const QList<QPair<QString, QString>> values = checkedAssignments(args.mid(customer.isEmpty() ? 1 : 2));
    open(table, customer);
    return set(table, values);
}

bool CtlPrices::mayOpen(const QString& customer) {
    return customer.isEmpty()
               ? m_session.actingUserMay(QStringLiteral("Action14"), QStringLiteral("main_frm"))
               : m_session.actingUserMay(QStringLiteral("Action_CustomerPrice"), QStringLiteral("Form_Client_List"));
}

void CtlPrices::open(PriceTable& table, const QString& customer) {
    if (customer.isEmpty()) {
        table.openStandard();
    } else {
        table.openCustomer(customer);
    }
}

QList<QPair<QString, QString>> CtlPrices::checkedAssignments(const QStringList& assignments) {
    QList<QPair<QString, QString>> out;
    QStringList seen;
    for (const QString& a : assignments) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name = a.left(eq).trimmed();
        const QString field = PriceTable::fieldByName(name);
        if (field.isEmpty()) {
            throw UserError(QStringLiteral("单价表没有[%1]这一项").arg(name));
        }
        if (seen.contains(field)) {
            throw UserError(QStringLiteral("[%1]写了两次").arg(field));
        }
        seen.append(field);
        const QString value = a.mid(eq + 1);
        QString error;
        if (PriceTable::isCell(field)) {
            PriceTable::parseCell(field, value, &error);
        } else {
            error = PriceTable::remarkError(value);
        }
        if (!error.isEmpty()) {
            throw UserError(error);
        }
        out.append({field, value});
    }
    return out;
}

int CtlPrices::show(PriceTable& table) {
    m_out << "Corp_code=" << CtlDocuments::escaped(table.isStandard() ? table.storedCode() : table.customerCode())
          << '\n';
    for (const QString& f : PriceTable::fieldNames()) {
        const QVariant v = table.value(f);
        m_out << f << '=' << (v.isNull() ? QString() : CtlDocuments::escaped(v.toString())) << '\n';
    }
    m_out.flush();
    return 0;
}

int CtlPrices::set(PriceTable& table, const QList<QPair<QString, QString>>& values) {
    for (const auto& [field, value] : values) {
        if (PriceTable::isCell(field)) {
            table.setCellText(field, value);
        } else {
            table.setValue(field, value);
        }
    }
    table.save();
    m_out << PriceTable::savedText() << Qt::endl;
    return 0;
}
