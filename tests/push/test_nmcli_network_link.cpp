#include "push/nmcli_network_link.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;

namespace {

// Stands in for nmcli, first on the PATH: records its arguments and what it read on its standard input,
// and answers a device query with the lines of the file "devices".
const char kFakeNmcli[] = R"(#!/bin/sh
here=$(dirname "$0")
printf '%s\n' "$@" > "$here/arguments.part"
cat > "$here/input.part"
mv "$here/arguments.part" "$here/arguments"
mv "$here/input.part" "$here/input"
[ -f "$here/devices" ] && cat "$here/devices"
exit 0
)";

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class NmcliNetworkLinkTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_bin;
    QByteArray m_path;

    QString binFile(const char* name) const { return m_bin.filePath(QString::fromLatin1(name)); }
    void writeDevices(const QByteArray& lines) {
        QFile file(binFile("devices"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines);
    }

private slots:
    void initTestCase() {
        QFile script(binFile("nmcli"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(kFakeNmcli);
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
    }
    void cleanupTestCase() { qputenv("PATH", m_path); }
    void init() {
        for (const char* name : {"arguments", "input", "devices"})
            QFile::remove(binFile(name));
    }

    void dialling_data() {
        QTest::addColumn<bool>("withCredentials");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        const QStringList up{QStringLiteral("connection"), QStringLiteral("up"), QStringLiteral("id"),
                             QStringLiteral("Київстар 3G")};
        QTest::newRow("entry alone") << false << QStringLiteral("s3cret word") << up << QByteArray();
        QTest::newRow("password on the standard input")
            << true << QStringLiteral("s3cret word")
            << (up + QStringList{QStringLiteral("passwd-file"), QStringLiteral("/dev/stdin")})
            << QByteArray(
                   "gsm.password:s3cret word\ncdma.password:s3cret word\npppoe.password:s3cret word\n");
        QTest::newRow("empty password")
            << true << QString()
            << (up + QStringList{QStringLiteral("passwd-file"), QStringLiteral("/dev/stdin")})
            << QByteArray("gsm.password:\ncdma.password:\npppoe.password:\n");
    }
    void dialling() {
        QFETCH(bool, withCredentials);
        QFETCH(QString, password);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        NmcliNetworkLink link;
        link.dial({QStringLiteral("Київстар 3G"), withCredentials, QStringLiteral("abonent"), password});
        QTRY_VERIFY(QFile::exists(binFile("input")));
        const QString recorded = QString::fromUtf8(contents(binFile("arguments")));
        QCOMPARE(recorded.split(QLatin1Char('\n'), Qt::SkipEmptyParts), arguments);
        if (!password.isEmpty())
            QVERIFY(!recorded.contains(password));
        QCOMPARE(contents(binFile("input")), input);
        // The dialling process is let go once it ends.
        QTRY_COMPARE(link.findChildren<QObject*>().size(), 0);
    }

    void connectedState_data() {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("flags");
        QTest::newRow("nothing connected")
            << QByteArray("ethernet:disconnected\nwifi:unavailable\n") << false << 0;
        QTest::newRow("loopback does not count")
            << QByteArray("loopback:connected (externally)\n") << false << 0;
        QTest::newRow("wired") << QByteArray("ethernet:connected\nloopback:connected (externally)\n") << true
                               << int(NetworkLink::Lan);
        QTest::newRow("modem") << QByteArray("gsm:connected\nwifi:disconnected\n") << true
                               << int(NetworkLink::Modem);
        QTest::newRow("both") << QByteArray("gsm:connected\nwifi:connected\n") << true
                              << int(NetworkLink::Modem | NetworkLink::Lan);
        QTest::newRow("still connecting") << QByteArray("gsm:connecting (prepare)\n") << false << 0;
    }
    void connectedState() {
        QFETCH(QByteArray, devices);
        QFETCH(bool, connected);
        QFETCH(int, flags);
        writeDevices(devices);
        NmcliNetworkLink link;
        const NetworkLink::State state = link.connectedState();
        QCOMPARE(state.connected, connected);
        QCOMPARE(state.flags, flags);
        QCOMPARE(
            QString::fromUtf8(contents(binFile("arguments"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            QStringList({QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("TYPE,STATE"),
                         QStringLiteral("device"), QStringLiteral("status")}));
    }

    // Without NetworkManager there is no connection to be seen, and dialling fails quietly.
    void withoutNmcli() {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir empty;
        qputenv("PATH", QFile::encodeName(empty.path()));
        NmcliNetworkLink link;
        QCOMPARE(link.connectedState().connected, false);
        link.dial({QStringLiteral("dial-up"), true, QString(), QStringLiteral("secret")});
        QTRY_COMPARE(link.findChildren<QObject*>().size(), 0);
        qputenv("PATH", path);
    }
};

QTEST_GUILESS_MAIN(NmcliNetworkLinkTest)
#include "test_nmcli_network_link.moc"
