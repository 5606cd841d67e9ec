#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace taxi::net {

class RequestContext;

// One row of the terminal protocol's vocabulary.
struct Command {
    enum class Match { Equals, Contains };
    using Handler = void (*)(const RequestContext&);

    QStringList texts; // the request equals, or contains, any of them
    Match match;
    Handler handler;          // null until the subsystem that answers it is built
    bool onDriverPort = true; // false for the login, which comes on the main port

    bool matches(const QString& request) const;
};

// The rows in the protocol's fixed order; a request runs every row it matches. Each subsystem owns the
// handlers of its commands; the composition root joins the rows.
using CommandTable = QList<Command>;

} // namespace taxi::net
