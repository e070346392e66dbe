#pragma once

#include <QStringList>

class CtlSession;

// `import` and `export` of olvendctl: customers, suppliers, goods and the
// order forms' customers moved through spreadsheet files with the columns
// their lists show, as the acting user with the rights of the list's
// commands. Exit codes as for every command; CtlSession::kWrongUse for
// arguments without the command's shape.
class CtlRecords {
public:
    explicit CtlRecords(CtlSession& session);

    int importRecords(const QStringList& args);
    int exportRecords(const QStringList& args);

private:
    CtlSession& m_session;
};
