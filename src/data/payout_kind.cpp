#include "data/payout_kind.h"

const QList<PayoutKind>& PayoutKind::all() {
    static const QList<PayoutKind> kinds{
        {0, QStringLiteral("0"), QStringLiteral("运输费"), QStringLiteral("运费")},
        {1, QStringLiteral("1"), QStringLiteral("工资"), QStringLiteral("工资")},
        {2, QStringLiteral("2"), QStringLiteral("日杂费"), QStringLiteral("日杂项")},
        {4, QStringLiteral("3"), QStringLiteral("汇款"), QStringLiteral("汇款")},
    };
    return kinds;
}

PayoutKind PayoutKind::of(int kind) {
    for (const PayoutKind& k : all()) {
        if (k.kind == kind) {
            return k;
        }
    }
    return {kind, QString(), QStringLiteral("支出管理"), QStringLiteral("支出项")};
}

bool PayoutKind::parse(const QString& text, PayoutKind* out) {
    const QString t = text.trimmed();
    for (const PayoutKind& kind : all()) {
        if (t == QString::number(kind.kind) || t == kind.subject || t == kind.title || t == kind.heading) {
            *out = kind;
            return true;
        }
    }
    return false;
}
