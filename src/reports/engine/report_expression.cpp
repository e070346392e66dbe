#include "reports/engine/report_expression.h"

#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "data/field_def.h"

struct ReportExpression::Node {
    enum class Kind { Number, String, Field, Unary, Binary, Call, AggregateRef };
    // The operator or function of a Unary, Binary or Call node, known once
    // parsed: a long report evaluates its nodes millions of times.
    enum class Op {
        None,
        Not,
        Negate,
        And,
        Or,
        Eq,
        Ne,
        Lt,
        Gt,
        Le,
        Ge,
        Add,
        Sub,
        Mul,
        Div,
        Page,
        Pages,
        Today,
        Iif,
        Format,
        Capital,
        Round
    };
    Kind kind = Kind::Number;
    Op op = Op::None;
    double number = 0;
    QString text;  // string value, field name, operator or function name
    std::vector<std::unique_ptr<Node>> children;
    int aggregateIndex = -1;
    // A field's column in the rows it is read from (-2: not asked yet).
    mutable int column = -2;
};

namespace {
using Node = ReportExpression::Node;
constexpr int kMaxDepth = 64;

bool isNumeric(const QVariant& v) {
    return isNumericValue(v) || v.typeId() == QMetaType::Bool;
}

bool isNull(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// Numbers stay numbers; text that reads as a number counts as one.
// Text as a number the way QString::toDouble reads it (C locale, spaces
// around it allowed), without its allocations for the short plain texts a
// report is full of; anything else is left to QString.
bool textToNumber(const QString& text, double* out) {
    const QString t = text.trimmed();
    char buffer[32];
    const qsizetype n = t.size();
    if (n == 0) {
        return false;
    }
    const QChar first = t.at(0);
    // No number starts otherwise ("inf" and "nan" included): a name or a
    // word is refused without reading it.
    if (!(first.isDigit() || first == '-' || first == '+' || first == '.' || first == 'i' || first == 'I' ||
          first == 'n' || first == 'N')) {
        return false;
    }
    if (n >= qsizetype(sizeof buffer) || first == '+' || first == 'i' || first == 'I' || first == 'n' || first == 'N') {
        bool ok = false;
        *out = t.toDouble(&ok);
        return ok;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = t.at(i).unicode();
        if (!((c >= '0' && c <= '9') || c == '-' || c == '.' || c == 'e' || c == 'E' || c == '+')) {
            bool ok = false;
            *out = t.toDouble(&ok);
            return ok;
        }
        buffer[i] = char(c);
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(buffer, buffer + n, d);
    if (ec != std::errc() || end != buffer + n) {
        return false;
    }
    *out = d;
    return true;
}

bool toNumber(const QVariant& v, double* out) {
    if (isNumeric(v)) {
        *out = v.toDouble();
        return true;
    }
    if (v.typeId() == QMetaType::QString) {
        return textToNumber(v.toString(), out);
    }
    return false;
}

class Parser {
public:
    Parser(const QString& text, std::vector<ReportExpression::Aggregate>* aggregates, int firstId, bool* usesPages)
        : m_text(text), m_aggregates(aggregates), m_nextId(firstId), m_usesPages(usesPages) {}

    std::unique_ptr<Node> parse(QString* error) {
        auto node = orExpr(0);
        skip();
        if (node && m_pos < m_text.size()) {
            fail(QStringLiteral("多余的字符"));
        }
        if (!m_error.isEmpty()) {
            if (error) {
                *error = QStringLiteral("表达式 \"%1\" 第 %2 个字符处: %3").arg(m_text).arg(m_pos + 1).arg(m_error);
            }
            return nullptr;
        }
        return node;
    }

private:
    void fail(const QString& e) {
        if (m_error.isEmpty()) {
            m_error = e;
        }
    }
    void skip() {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace()) {
            ++m_pos;
        }
    }
    bool peekWord(const char* word) {
        skip();
        const QString w = QString::fromLatin1(word);
        if (m_text.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0) {
            return false;
        }
        const int end = m_pos + w.size();
        return end >= m_text.size() || !(m_text.at(end).isLetterOrNumber() || m_text.at(end) == '_');
    }
    bool take(const QString& op) {
        skip();
        if (m_text.mid(m_pos, op.size()) == op) {
            m_pos += op.size();
            return true;
        }
        return false;
    }
    std::unique_ptr<Node> binary(const QString& op, std::unique_ptr<Node> a, std::unique_ptr<Node> b) {
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Binary;
        n->text = op;
        n->children.push_back(std::move(a));
        n->children.push_back(std::move(b));
        return n;
    }
    std::unique_ptr<Node> orExpr(int depth) {
        if (depth > kMaxDepth) {
            fail(QStringLiteral("嵌套太深"));
            return nullptr;
        }
        auto left = andExpr(depth + 1);
        while (left && peekWord("or")) {
            m_pos += 2;
            left = binary("or", std::move(left), andExpr(depth + 1));
        }
        return left;
    }
    std::unique_ptr<Node> andExpr(int depth) {
        auto left = notExpr(depth + 1);
        while (left && peekWord("and")) {
            m_pos += 3;
            left = binary("and", std::move(left), notExpr(depth + 1));
        }
        return left;
    }
    std::unique_ptr<Node> notExpr(int depth) {
        if (depth > kMaxDepth) {
            fail(QStringLiteral("嵌套太深"));
            return nullptr;
        }
        if (peekWord("not")) {
            m_pos += 3;
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::Unary;
            n->text = "not";
            auto operand = notExpr(depth + 1);
            if (!operand) {
                return nullptr;
            }
            n->children.push_back(std::move(operand));
            return n;
        }
        return comparison(depth + 1);
    }
    std::unique_ptr<Node> comparison(int depth) {
        auto left = additive(depth + 1);
        for (const char* op : {"<=", ">=", "<>", "=", "<", ">"}) {
            if (left && take(QString::fromLatin1(op))) {
                auto right = additive(depth + 1);
                return right ? binary(QString::fromLatin1(op), std::move(left), std::move(right)) : nullptr;
            }
        }
        return left;
    }
    std::unique_ptr<Node> additive(int depth) {
        auto left = multiplicative(depth + 1);
        while (left) {
            QString op;
            if (take("+")) {
                op = "+";
            } else if (take("-")) {
                op = "-";
            } else {
                break;
            }
            auto right = multiplicative(depth + 1);
            if (!right) {
                return nullptr;
            }
            left = binary(op, std::move(left), std::move(right));
        }
        return left;
    }
    std::unique_ptr<Node> multiplicative(int depth) {
        auto left = unary(depth + 1);
        while (left) {
            QString op;
            if (take("*")) {
                op = "*";
            } else if (take("/")) {
                op = "/";
            } else {
                break;
            }
            auto right = unary(depth + 1);
            if (!right) {
                return nullptr;
            }
            left = binary(op, std::move(left), std::move(right));
        }
        return left;
    }
    std::unique_ptr<Node> unary(int depth) {
        if (depth > kMaxDepth * 4) {
            fail(QStringLiteral("嵌套太深"));
            return nullptr;
        }
        if (take("-")) {
            auto operand = unary(depth + 1);
            if (!operand) {
                return nullptr;
            }
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::Unary;
            n->text = "-";
            n->children.push_back(std::move(operand));
            return n;
        }
        return primary(depth + 1);
    }
    std::unique_ptr<Node> primary(int depth) {
        skip();
        if (m_pos >= m_text.size()) {
            fail(QStringLiteral("表达式不完整"));
            return nullptr;
        }
        const QChar c = m_text.at(m_pos);
        if (c == '(') {
            ++m_pos;
            auto inner = orExpr(depth + 1);
            if (!take(")")) {
                fail(QStringLiteral("缺少 \")\""));
                return nullptr;
            }
            return inner;
        }
        if (c.isDigit() || (c == '.' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1).isDigit())) {
            const int start = m_pos;
            while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == '.')) {
                ++m_pos;
            }
            bool ok = false;
            auto n = std::make_unique<Node>();
            n->number = m_text.mid(start, m_pos - start).toDouble(&ok);
            if (!ok) {
                fail(QStringLiteral("无效的数字"));
                return nullptr;
            }
            return n;
        }
        if (c == '\'' || c == '"') {
            const QChar quote = c;
            ++m_pos;
            QString s;
            while (m_pos < m_text.size() && m_text.at(m_pos) != quote) {
                s += m_text.at(m_pos++);
            }
            if (m_pos >= m_text.size()) {
                fail(QStringLiteral("引号没有结束"));
                return nullptr;
            }
            ++m_pos;
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::String;
            n->text = s;
            return n;
        }
        if (c.isLetter() || c == '_') {
            const int start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == '_' || m_text.at(m_pos) == '.')) {
                ++m_pos;
            }
            const QString name = m_text.mid(start, m_pos - start);
            if (!take("(")) {
                auto n = std::make_unique<Node>();
                n->kind = Node::Kind::Field;
                n->text = name;
                return n;
            }
            return call(name.toLower(), depth);
        }
        fail(QStringLiteral("无法识别的字符 \"%1\"").arg(c));
        return nullptr;
    }
    std::unique_ptr<Node> call(const QString& name, int depth) {
        static const QStringList functions{"sum",   "count", "avg",    "min",     "max", "page",
                                           "pages", "today", "format", "capital", "iif", "round"};
        if (!functions.contains(name)) {
            fail(QStringLiteral("未知的函数 \"%1\"").arg(name));
            return nullptr;
        }
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Call;
        n->text = name;
        if (!take(")")) {
            do {
                auto arg = orExpr(depth + 1);
                if (!arg) {
                    return nullptr;
                }
                n->children.push_back(std::move(arg));
            } while (take(","));
            if (!take(")")) {
                fail(QStringLiteral("缺少 \")\""));
                return nullptr;
            }
        }
        const int argc = static_cast<int>(n->children.size());
        const bool aggregate = name == "sum" || name == "count" || name == "avg" || name == "min" || name == "max";
        if (aggregate) {
            if ((name != "count" && argc < 1) || argc > 2) {
                fail(QStringLiteral("%1() 的参数不对").arg(name));
                return nullptr;
            }
            QString scope;
            const int scopeArg =
                name == "count" ? (argc >= 1 && n->children[0]->kind == Node::Kind::String ? 0 : 1) : 1;
            if (argc > scopeArg) {
                if (n->children[scopeArg]->kind != Node::Kind::String) {
                    fail(QStringLiteral("%1() 的范围应为 \"group\"、\"page\" 或 \"report\"").arg(name));
                    return nullptr;
                }
                scope = n->children[scopeArg]->text.toLower();
                if (scope != "group" && scope != "page" && scope != "report") {
                    fail(QStringLiteral("%1() 的范围应为 \"group\"、\"page\" 或 \"report\"").arg(name));
                    return nullptr;
                }
            }
            n->kind = Node::Kind::AggregateRef;
            n->aggregateIndex = static_cast<int>(m_aggregates->size());
            ReportExpression::Aggregate a;
            a.id = m_nextId++;
            a.function = name;
            a.scope = scope;
            a.argument = (name == "count" || argc == 0) ? nullptr : n->children[0].get();
            if (name == "count" && argc >= 1 && n->children[0]->kind != Node::Kind::String) {
                a.argument = n->children[0].get();
            }
            m_aggregates->push_back(a);
            return n;
        }
        if (name == "pages") {
            *m_usesPages = true;
        }
        const QMap<QString, QPair<int, int>> arity{{"page", {0, 0}},   {"pages", {0, 0}},   {"today", {0, 0}},
                                                   {"format", {2, 2}}, {"capital", {1, 1}}, {"iif", {3, 3}},
                                                   {"round", {1, 2}}};
        const auto range = arity.value(name);
        if (argc < range.first || argc > range.second) {
            fail(QStringLiteral("%1() 的参数个数不对").arg(name));
            return nullptr;
        }
        return n;
    }

    QString m_text;
    int m_pos = 0;
    QString m_error;
    std::vector<ReportExpression::Aggregate>* m_aggregates;
    int m_nextId;
    bool* m_usesPages;
};

QVariant compare(Node::Op op, const QVariant& a, const QVariant& b) {
    if (isNull(a) || isNull(b)) {
        return {};
    }
    double x = 0, y = 0;
    int c = 0;
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString && a.toString() == b.toString()) {
        // Equal texts are equal whether or not they read as numbers.
        c = 0;
    } else if (toNumber(a, &x) && toNumber(b, &y)) {
        c = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        c = QString::compare(a.toString(), b.toString());
    }
    switch (op) {
        case Node::Op::Eq:
            return c == 0;
        case Node::Op::Ne:
            return c != 0;
        case Node::Op::Lt:
            return c < 0;
        case Node::Op::Gt:
            return c > 0;
        case Node::Op::Le:
            return c <= 0;
        default:
            return c >= 0;
    }
}

bool truthy(const QVariant& v) {
    if (isNull(v)) {
        return false;
    }
    double d = 0;
    if (toNumber(v, &d)) {
        return d != 0;
    }
    return !v.toString().isEmpty();
}
}  // namespace

ReportExpression::ReportExpression() = default;
ReportExpression::~ReportExpression() = default;
ReportExpression::ReportExpression(ReportExpression&&) noexcept = default;
ReportExpression& ReportExpression::operator=(ReportExpression&&) noexcept = default;

namespace {
Node::Op opOf(const Node& n) {
    static const QHash<QString, Node::Op> binary{{"and", Node::Op::And}, {"or", Node::Op::Or}, {"=", Node::Op::Eq},
                                                 {"<>", Node::Op::Ne},   {"<", Node::Op::Lt},  {">", Node::Op::Gt},
                                                 {"<=", Node::Op::Le},   {">=", Node::Op::Ge}, {"+", Node::Op::Add},
                                                 {"-", Node::Op::Sub},   {"*", Node::Op::Mul}, {"/", Node::Op::Div}};
    static const QHash<QString, Node::Op> calls{{"page", Node::Op::Page},     {"pages", Node::Op::Pages},
                                                {"today", Node::Op::Today},   {"iif", Node::Op::Iif},
                                                {"format", Node::Op::Format}, {"capital", Node::Op::Capital},
                                                {"round", Node::Op::Round}};
    switch (n.kind) {
        case Node::Kind::Unary:
            return n.text == "not" ? Node::Op::Not : Node::Op::Negate;
        case Node::Kind::Binary:
            return binary.value(n.text, Node::Op::None);
        case Node::Kind::Call:
            return calls.value(n.text, Node::Op::None);
        default:
            return Node::Op::None;
    }
}

void assignOps(Node* n) {
    n->op = opOf(*n);
    for (auto& c : n->children) {
        assignOps(c.get());
    }
}
}  // namespace

bool ReportExpression::parse(const QString& text, QString* error, int firstAggregateId) {
    m_aggregates.clear();
    m_usesPages = false;
    Parser p(text, &m_aggregates, firstAggregateId, &m_usesPages);
    m_root = p.parse(error);
    if (m_root) {
        assignOps(m_root.get());
    }
    return m_root != nullptr;
}

ReportExpression ReportExpression::ofField(const QString& name) {
    ReportExpression e;
    e.m_root = std::make_unique<Node>();
    e.m_root->kind = Node::Kind::Field;
    e.m_root->text = name;
    return e;
}

namespace {
// Evaluates a node; aggregates are answered through the context when the
// table they are listed in is given.
QVariant evalNode(const Node* n, const ReportExpression::Context& local,
                  const std::vector<ReportExpression::Aggregate>* aggregates) {
    switch (n->kind) {
        case Node::Kind::Number:
            return n->number;
        case Node::Kind::String:
            return n->text;
        case Node::Kind::Field:
            if (local.row && local.columnOf) {
                if (n->column == -2) {
                    n->column = local.columnOf(n->text);
                }
                if (n->column >= 0 && n->column < local.row->size()) {
                    return local.row->at(n->column);
                }
            }
            return local.field ? local.field(n->text) : QVariant();
        case Node::Kind::AggregateRef:
            return local.aggregate && aggregates ? local.aggregate((*aggregates)[n->aggregateIndex]) : QVariant();
        case Node::Kind::Unary: {
            const QVariant v = evalNode(n->children[0].get(), local, aggregates);
            if (n->op == Node::Op::Not) {
                return isNull(v) ? QVariant() : QVariant(!truthy(v));
            }
            double d = 0;
            return toNumber(v, &d) ? QVariant(-d) : QVariant();
        }
        case Node::Kind::Binary: {
            const Node::Op op = n->op;
            if (op == Node::Op::And || op == Node::Op::Or) {
                const bool a = truthy(evalNode(n->children[0].get(), local, aggregates));
                if (op == Node::Op::And && !a) {
                    return false;
                }
                if (op == Node::Op::Or && a) {
                    return true;
                }
                return truthy(evalNode(n->children[1].get(), local, aggregates));
            }
            const QVariant a = evalNode(n->children[0].get(), local, aggregates);
            const QVariant b = evalNode(n->children[1].get(), local, aggregates);
            switch (op) {
                case Node::Op::Eq:
                case Node::Op::Ne:
                case Node::Op::Lt:
                case Node::Op::Gt:
                case Node::Op::Le:
                case Node::Op::Ge:
                    return compare(op, a, b);
                default:
                    break;
            }
            if (isNull(a) || isNull(b)) {
                return {};
            }
            double x = 0, y = 0;
            const bool numbers = toNumber(a, &x) && toNumber(b, &y);
            if (op == Node::Op::Add && !numbers) {
                return a.toString() + b.toString();
            }
            if (!numbers) {
                return {};
            }
            switch (op) {
                case Node::Op::Add:
                    return x + y;
                case Node::Op::Sub:
                    return x - y;
                case Node::Op::Mul:
                    return x * y;
                default:
                    break;
            }
            if (y == 0) {
                return {};  // division by zero: no value
            }
            return x / y;
        }
        case Node::Kind::Call: {
            switch (n->op) {
                case Node::Op::Page:
                    return local.page;
                case Node::Op::Pages:
                    // Not known yet while the pages are still being made.
                    return local.pages < 0 ? QVariant(QStringLiteral("…")) : QVariant(local.pages);
                case Node::Op::Today:
                    return local.today.isValid() ? local.today : QDate::currentDate();
                case Node::Op::Iif:
                    return truthy(evalNode(n->children[0].get(), local, aggregates))
                               ? evalNode(n->children[1].get(), local, aggregates)
                               : evalNode(n->children[2].get(), local, aggregates);
                default:
                    break;
            }
            const QVariant v = evalNode(n->children[0].get(), local, aggregates);
            if (n->op == Node::Op::Format) {
                return formatReportValue(v, evalNode(n->children[1].get(), local, aggregates).toString());
            }
            double d = 0;
            if (!toNumber(v, &d)) {
                return {};
            }
            if (n->op == Node::Op::Capital) {
                return chineseCapitalAmount(d);
            }
            const int places = n->children.size() > 1 ? evalNode(n->children[1].get(), local, aggregates).toInt() : 0;
            return roundHalfAwayFromZero(d, std::clamp(places, 0, 9));
        }
    }
    return {};
}
}  // namespace

QVariant ReportExpression::evaluate(const Context& context) const {
    return m_root ? evalNode(m_root.get(), context, &m_aggregates) : QVariant();
}

QString ReportExpression::nodeKey(const Node* node) {
    if (!node) {
        return QStringLiteral("#");
    }
    // Kind, value and the children in brackets: unambiguous, since texts
    // are quoted with their length.
    QString key = QString::number(int(node->kind)) + QLatin1Char(':') + QString::number(node->text.size()) +
                  QLatin1Char(':') + node->text;
    if (node->kind == Node::Kind::Number) {
        key += QString::number(node->number, 'g', 17);
    }
    key += QLatin1Char('(');
    for (const auto& c : node->children) {
        key += nodeKey(c.get()) + QLatin1Char(',');
    }
    return key + QLatin1Char(')');
}

QVariant ReportExpression::evaluateNode(const Node* node, const Context& context) {
    if (!node) {
        return 1;  // count() counts rows
    }
    return evalNode(node, context, nullptr);
}

bool ReportText::parse(const QString& text, QString* error, int firstAggregateId) {
    m_parts.clear();
    QString literal;
    int id = firstAggregateId;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == '[' && i + 1 < text.size() && text.at(i + 1) == '[') {
            literal += '[';
            ++i;
            continue;
        }
        if (c != '[') {
            literal += c;
            continue;
        }
        const int close = text.indexOf(']', i + 1);
        if (close < 0) {
            if (error) {
                *error = QStringLiteral("\"%1\" 中的 [ 没有对应的 ]").arg(text);
            }
            return false;
        }
        if (!literal.isEmpty()) {
            m_parts.push_back({literal, nullptr});
            literal.clear();
        }
        auto e = std::make_shared<ReportExpression>();
        if (!e->parse(text.mid(i + 1, close - i - 1), error, id)) {
            return false;
        }
        id += static_cast<int>(e->aggregates().size());
        m_parts.push_back({QString(), e});
        i = close;
    }
    if (!literal.isEmpty()) {
        m_parts.push_back({literal, nullptr});
    }
    return true;
}

ReportText ReportText::ofField(const QString& name) {
    ReportText t;
    t.m_parts.push_back({QString(), std::make_shared<ReportExpression>(ReportExpression::ofField(name))});
    return t;
}

QString ReportText::evaluate(const ReportExpression::Context& context, const QString& format) const {
    QString out;
    for (const Part& p : m_parts) {
        if (!p.expression) {
            out += p.literal;
            continue;
        }
        out += formatReportValue(p.expression->evaluate(context), format);
    }
    return out;
}

bool ReportText::singleValue(const ReportExpression::Context& context, QVariant* value) const {
    if (m_parts.size() != 1 || !m_parts[0].expression) {
        return false;
    }
    *value = m_parts[0].expression->evaluate(context);
    return true;
}

bool ReportText::usesPageCount() const {
    for (const Part& p : m_parts) {
        if (p.expression && p.expression->usesPageCount()) {
            return true;
        }
    }
    return false;
}

bool ReportText::isStatic() const {
    for (const Part& p : m_parts) {
        if (p.expression) {
            return false;
        }
    }
    return true;
}

std::vector<ReportExpression::Aggregate> ReportText::aggregates() const {
    std::vector<ReportExpression::Aggregate> out;
    for (const Part& p : m_parts) {
        if (p.expression) {
            out.insert(out.end(), p.expression->aggregates().begin(), p.expression->aggregates().end());
        }
    }
    return out;
}
