#include "core/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace taxi {

namespace {
constexpr const char* kCodePage = "windows-1251";
}

QString fromWin1251(QByteArrayView bytes) {
    QStringDecoder decoder(kCodePage);
    return decoder(bytes);
}

QByteArray toWin1251(QStringView text) {
    // Characters the code page lacks become '?', as the operators' own tools write them.
    QStringEncoder encoder(kCodePage, QStringConverter::Flag::Default);
    return encoder(text);
}

} // namespace taxi
