#include "info/news.h"

#include "core/journal.h"
#include "core/setting_definitions.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

#include <QFile>
#include <QFileInfo>

namespace taxi {

namespace {

// The lines as the memo takes them from a file: CR LF, LF or CR end a line, and a break at the very end
// starts no further line.
QStringList linesOf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

std::optional<QString> NewsText::OPEN_LIST_NEWS(const QString& fileSetting) {
    return loadOrPlaceholder(fileSetting);
}

std::optional<QString> NewsText::reload() {
    return loadOrPlaceholder(kFileName);
}

std::optional<QString> NewsText::openFile() {
    if (!QFile::exists(kFileName)) {
        setLines({kPlaceholder});
        QFile file(kFileName);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(toWin1251(kPlaceholder + QStringLiteral("\r\n"))) < 0)
            return QStringLiteral("Не вдалося створити файл новин ") + kFileName + QStringLiteral(": ") +
                   file.errorString();
    }
    if (m_openInEditor)
        m_openInEditor(QFileInfo(kFileName).absoluteFilePath());
    return std::nullopt;
}

std::optional<QString> NewsText::loadOrPlaceholder(const QString& fileName) {
    if (fileName.isEmpty() || !QFile::exists(fileName)) {
        setLines({kPlaceholder});
        return std::nullopt;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        setLines({});
        return QStringLiteral("Не вдалося прочитати файл новин ") + fileName + QStringLiteral(": ") +
               file.errorString();
    }
    setLines(linesOf(fromWin1251(file.readAll())));
    return std::nullopt;
}

void NewsText::setLines(QStringList lines) {
    m_lines = std::move(lines);
    emit changed();
}

void sendNews(const net::RequestContext& context) {
    Services& services = context.services;
    const int callsign = context.slot().callsign;
    const QStringList lines = services.news.lines();
    QString reply = QStringLiteral("<DataNews>");
    int items = 0;
    for (int i = 1; i <= lines.size(); ++i) {
        const QString& line = lines.at(i - 1);
        if (line.isEmpty())
            continue; // its number stays unused
        reply += net::element(QStringLiteral("#") + QString::number(i), context.encodeText(line));
        ++items;
    }
    reply += net::element(QStringLiteral("Kil"), QString::number(items));
    context.reply(reply + QStringLiteral("</DataNews>"));
    if (services.settings.isOn(keys::VHID_V_NOVINI))
        services.journal.writeJournal(callsign, 0, QStringLiteral("Перегляд новин"));
    context.log(QStringLiteral("Запит на новини водій № ") + QString::number(callsign));
}

} // namespace taxi
