#pragma once

#include <QString>

// A reply of the service made readable: one element a line, indented by depth, with the text that
// a Base64 value stands for shown beside it.
QString readableReply(const QByteArray& reply);
