#pragma once

#include "core/db/db_error.h"

#include <firebird/Interface.h>

// The few process-wide entry points of the Firebird client, shared by the wrapper classes.
namespace taxi::db::fb {

Firebird::IMaster* master();
Firebird::IUtil* util();

// A status wrapper that throws Firebird::FbException on any error.
class Status : public Firebird::ThrowStatusWrapper {
public:
    Status() : Firebird::ThrowStatusWrapper(master()->getStatus()) {}
    ~Status() { dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
};

// Firebird's message text for a failed call, with its code page decoded.
QString messageOf(const Firebird::FbException& error);

// Runs a call of the client library and turns its failures into DbError.
template <typename Call> auto guarded(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const Firebird::FbException& error) {
        throw DbError(messageOf(error));
    }
}

} // namespace taxi::db::fb
