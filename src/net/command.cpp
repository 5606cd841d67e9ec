#include "net/command.h"

namespace taxi::net {

bool Command::matches(const QString& request) const {
    for (const QString& text : texts) {
        if (match == Match::Equals ? request == text : request.contains(text))
            return true;
    }
    return false;
}

} // namespace taxi::net
