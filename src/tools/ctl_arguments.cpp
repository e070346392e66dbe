#include "tools/ctl_arguments.h"

bool CtlArguments::parse(const QStringList& args, const QStringList& flags, const QStringList& valued) {
    m_words.clear();
    m_options.clear();
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            m_words.append(arg);
            continue;
        }
        // An option given twice is a slip, not a choice.
        if (m_options.contains(arg)) {
            return false;
        }
        if (flags.contains(arg)) {
            m_options.insert(arg, QString());
        } else if (valued.contains(arg) && i + 1 < args.size()) {
            m_options.insert(arg, args[++i]);
        } else {
            return false;
        }
    }
    return true;
}
