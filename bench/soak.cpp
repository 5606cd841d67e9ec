// A night's work in minutes: the real program, headless, serving many terminals at once.
//
// Starts taxi-gprs --headless --start on the demo city (on the local database server) with a connection
// record, a car and a driver for every terminal. The terminals live in this one thread around one epoll
// loop: each logs in, binds to its port and then, at random moments, sends a request drawn from a weighted
// table, waits for its reply, and now and then leaves (an orderly close, a reset, or off the air) and comes
// back. The service's resident memory is sampled all along. At the end every terminal leaves, and the
// dispatcher database must hold no terminal mark, no offer row, and one journal row for every journalled
// action sent; the records must all read "неактивний" once the service has stopped.
//
//   soak [SECONDS] [--check] [--terminals N]
//
// With --check it exits 1 when a check fails: the service ended, a reply was lost or malformed, the
// resident memory grew by 5 % or more after the warm-up, or the database was left unclean.

#include "bench/resident_memory.h"
#include "core/db/result_set.h"
#include "core/text_codec.h"
#include "support/service_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <random>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using taxi::bench::residentKb;
using Ms = std::chrono::milliseconds;

constexpr int kFirstCallsign = 1001;
constexpr double kAllowedGrowth = 0.05;
constexpr Ms kReplyTimeout{30000};

// A request of the table: what is sent, the tag its reply opens with (none: no reply), and the journal
// entry it writes with the soak's settings (empty: none).
struct Request {
    QByteArray text;
    QByteArray replyTag;
    QString journal;
    int weight;
};

enum class Leave { Close, Reset, OffTheAir };

// The weighted table of what a terminal does next; the three leaves are drawn from it too.
struct Action {
    const Request* request = nullptr; // null: a leave
    Leave leave = Leave::Close;
};

const QString kLogin = QStringLiteral("Вхід в систему");
const QString kLogout = QStringLiteral("Вихід з системи");
const QString kOffAir = QStringLiteral("Зняття з ефіра");
const QString kNetworkFault = QStringLiteral("ЗБІЙ У ЗВЯЗКУ / СІТЦІ");
const QString kStandChange = QStringLiteral("Зміна стоянки на [");

std::vector<Request> requestTable() {
    const QByteArray complaint =
        "@SKARGA(" + taxi::toWin1251(QStringLiteral("Нічна зміна, все гаразд")).toBase64() + ")@";
    const QByteArray answer = "@VidVid[(1){" + taxi::toWin1251(QStringLiteral("Так")).toBase64() + "}]@";
    return {
        {"@PZ7@", "<DataClient>", {}, 20},
        {"@S@", "<DataOnParking>", QStringLiteral("Обновлення списка стоянок"), 8},
        {"@inSTOYNKA[<%>]@", {}, kStandChange, 8}, // % is a stand of the table, 1 to 4
        {"@LNZ@", "<DataPotik>", {}, 6},
        {"@OSOBPOV@", "<DataPersonalMsg>", {}, 5},
        {"@LISTOPITUVAN@", "<ListTableOpituvan>", {}, 4},
        {"@PITAN[1]@", "<VidpovidTableOpituvan>", {}, 3},
        {answer, {}, {}, 1},
        {"@NEWS@", "<DataNews>", QStringLiteral("Перегляд новин"), 5},
        {"@ZVIT@", "<ZVIT>", QStringLiteral("Створення звіта"), 3},
        {"@MENUMAIN@", {}, {}, 5},
        {"@MENUPOTIK@", {}, QStringLiteral("Вхід в меню потік замовлень"), 3},
        {"@MENUSTOYANKI@", {}, QStringLiteral("Вхід в меню список стоянок"), 3},
        {"@SOS@", {}, QStringLiteral("ТРИВОГА ВІД ВОДІЯ"), 2},
        {complaint, {}, QStringLiteral("ПОВІДОМЛЕННЯ : Нічна зміна, все гаразд"), 2},
        {"@PD(00230)@", {}, QStringLiteral("Створення підсадки у водія"), 2},
        {"@+@", {}, {}, 4},
        {"@PZ3@", "<DataClient>", {}, 1},
    };
}

constexpr int kLeaveWeights[] = {3, 2, 1}; // close, reset, off the air

struct Terminal {
    int callsign = 0;
    quint16 port = 0;
    int fd = -1;
    // Closing: an orderly leave waits for the service to close its side too, so that nothing it still
    // sends turns the close into a reset.
    enum class State { Away, Connecting, Thinking, Waiting, Closing } state = State::Away;
    bool needsLogin = true;
    Clock::time_point due{};
    Clock::time_point sentAt{};
    Clock::time_point closingSince{};
    QByteArray expectedTag;
    QByteArray received;
    int connectAttempts = 0;
    bool resetOnReply = false;
};

struct Figures {
    qint64 requests = 0;
    qint64 replies = 0;
    qint64 pushes = 0;
    qint64 lostReplies = 0;
    qint64 droppedByService = 0;
    qint64 wrongReplies = 0;
    qint64 logins = 0;
    qint64 failedBinds = 0;
    qint64 leaves[3] = {0, 0, 0};
    std::vector<double> latenciesMs;
    QMap<QString, qint64> journalled;
};

// The processor time the process has used so far, in seconds.
double cpuSeconds(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(::sysconf(_SC_CLK_TCK));
}

sockaddr_in loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool portIsFree(quint16 port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return free;
}

// A run of free ports below the system's range of ephemeral ports, so that no outgoing connection of this
// machine takes a driver's port between the set-up and his login.
quint16 freePortBlock(int count, std::mt19937& random) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto base = quint16(std::uniform_int_distribution<int>(20000, 32000 - count)(random));
        bool free = true;
        for (int i = 0; i < count && free; ++i)
            free = portIsFree(quint16(base + i));
        if (free)
            return base;
    }
    return 0;
}

// The login: a short connection to the main port that sends the request and hangs up.
bool sendLogin(quint16 mainPort, const Terminal& terminal) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(mainPort);
    bool sent = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const QByteArray login = "@OC(" + QByteArray::number(terminal.port) + ")[1111]@";
        sent = ::send(fd, login.constData(), size_t(login.size()), MSG_NOSIGNAL) == login.size();
    }
    ::close(fd);
    return sent;
}

class Soak {
public:
    Soak(quint16 mainPort, std::vector<Terminal> terminals, unsigned seed)
        : m_mainPort(mainPort), m_terminals(std::move(terminals)), m_random(seed), m_table(requestTable()) {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        for (const Request& request : m_table)
            m_weights.push_back(request.weight);
        for (int weight : kLeaveWeights)
            m_weights.push_back(weight);
    }

    ~Soak() { ::close(m_epoll); }

    // Runs the terminals until the time is up, calling back once a second.
    template <typename EverySecond> void run(Ms duration, EverySecond everySecond) {
        const Clock::time_point end = Clock::now() + duration;
        Clock::time_point nextSecond = Clock::now() + Ms(1000);
        for (std::size_t i = 0; i < m_terminals.size(); ++i)
            m_terminals[i].due = Clock::now() + Ms(i * 10); // log in one after another at first
        while (Clock::now() < end) {
            step();
            if (Clock::now() >= nextSecond) {
                nextSecond += Ms(1000);
                everySecond();
            }
        }
    }

    // Every terminal finishes what it is doing and leaves, in turn by each of the three ways.
    void leaveAll() {
        m_leaving = true;
        stepWhileAny({Terminal::State::Waiting, Terminal::State::Connecting, Terminal::State::Closing});
        int n = 0;
        for (Terminal& terminal : m_terminals) {
            if (terminal.state == Terminal::State::Thinking)
                leave(terminal, Leave(n++ % 3));
        }
        stepWhileAny({Terminal::State::Waiting, Terminal::State::Closing});
    }

    const Figures& figures() const { return m_figures; }

private:
    void stepWhileAny(std::initializer_list<Terminal::State> states) {
        const Clock::time_point deadline = Clock::now() + kReplyTimeout;
        while (Clock::now() < deadline &&
               std::any_of(m_terminals.begin(), m_terminals.end(), [&](const Terminal& t) {
                   return std::find(states.begin(), states.end(), t.state) != states.end();
               }))
            step();
    }

    void step() {
        epoll_event events[64];
        const int ready = ::epoll_wait(m_epoll, events, 64, 5);
        for (int i = 0; i < ready; ++i) {
            Terminal& terminal = m_terminals[events[i].data.u32];
            if (terminal.state == Terminal::State::Connecting)
                connected(terminal);
            else
                readReplies(terminal);
        }
        const Clock::time_point now = Clock::now();
        for (Terminal& terminal : m_terminals) {
            if (terminal.state == Terminal::State::Waiting && now - terminal.sentAt > kReplyTimeout) {
                ++m_figures.lostReplies;
                terminal.state = Terminal::State::Thinking;
                terminal.due = now;
            }
            if (terminal.state == Terminal::State::Closing && now - terminal.closingSince > kReplyTimeout)
                drop(terminal);
            if (now < terminal.due)
                continue;
            if (terminal.state == Terminal::State::Away && !m_leaving)
                comeBack(terminal);
            else if (terminal.state == Terminal::State::Thinking && !m_leaving)
                act(terminal);
            else if (terminal.state == Terminal::State::Connecting)
                connectToPort(terminal); // refused before: the login may not have opened the port yet
        }
    }

    void comeBack(Terminal& terminal) {
        if (terminal.needsLogin) {
            if (!sendLogin(m_mainPort, terminal)) {
                terminal.due = Clock::now() + Ms(500);
                return;
            }
            ++m_figures.logins;
            m_figures.journalled[kLogin] += 1;
            terminal.needsLogin = false;
        }
        terminal.connectAttempts = 0;
        connectToPort(terminal);
    }

    void connectToPort(Terminal& terminal) {
        if (terminal.fd >= 0) {
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, terminal.fd, nullptr);
            ::close(terminal.fd);
        }
        if (++terminal.connectAttempts > 200) { // ten seconds of refusals: the login did not open the port
            ++m_figures.failedBinds;
            terminal.fd = -1;
            terminal.state = Terminal::State::Away;
            terminal.needsLogin = true;
            terminal.due = Clock::now() + Ms(1000);
            return;
        }
        terminal.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(terminal.port);
        ::connect(terminal.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        terminal.state = Terminal::State::Connecting;
        terminal.due = Clock::now() + Ms(50);
        epoll_event event{EPOLLOUT, {}};
        event.data.u32 = quint32(&terminal - m_terminals.data());
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, terminal.fd, &event);
    }

    void connected(Terminal& terminal) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(terminal.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            // Not listening yet: try again when due. Until then nothing is to be heard from it.
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, terminal.fd, nullptr);
            return;
        }
        epoll_event event{EPOLLIN, {}};
        event.data.u32 = quint32(&terminal - m_terminals.data());
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, terminal.fd, &event);
        terminal.state = Terminal::State::Thinking;
        terminal.received.clear();
        terminal.due = Clock::now() + Ms(std::uniform_int_distribution<int>(100, 1000)(m_random));
    }

    void readReplies(Terminal& terminal) {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::recv(terminal.fd, buffer, sizeof buffer, 0);
            if (got > 0) {
                terminal.received.append(buffer, got);
                continue;
            }
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                if (terminal.state != Terminal::State::Closing) {
                    // The service closed the connection: the terminal logs in again after a while.
                    ++m_figures.droppedByService;
                    terminal.needsLogin = true;
                    terminal.due = Clock::now() + Ms(2000);
                }
                drop(terminal);
                return;
            }
            break;
        }
        if (terminal.state == Terminal::State::Closing) {
            terminal.received.clear();
            return;
        }
        qsizetype end;
        while ((end = terminal.received.indexOf('@')) >= 0) {
            const QByteArray frame = terminal.received.left(end);
            terminal.received.remove(0, end + 1);
            if (frame.startsWith("<Action>")) {
                ++m_figures.pushes;
                continue;
            }
            if (terminal.state != Terminal::State::Waiting || !frame.startsWith(terminal.expectedTag)) {
                ++m_figures.wrongReplies;
                continue;
            }
            ++m_figures.replies;
            m_figures.latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - terminal.sentAt).count());
            if (std::exchange(terminal.resetOnReply, false)) {
                reset(terminal);
                terminal.due = Clock::now() + Ms(std::uniform_int_distribution<int>(2000, 5000)(m_random));
                return;
            }
            think(terminal);
        }
    }

    void think(Terminal& terminal) {
        terminal.state = Terminal::State::Thinking;
        terminal.due = Clock::now() + Ms(std::uniform_int_distribution<int>(500, 3500)(m_random));
    }

    void act(Terminal& terminal) {
        const std::size_t drawn =
            std::discrete_distribution<std::size_t>(m_weights.begin(), m_weights.end())(m_random);
        if (drawn >= m_table.size()) {
            leave(terminal, Leave(drawn - m_table.size()));
            terminal.due = Clock::now() + Ms(std::uniform_int_distribution<int>(2000, 5000)(m_random));
            return;
        }
        const Request& request = m_table[drawn];
        QByteArray text = request.text;
        text.replace('%', QByteArray::number(std::uniform_int_distribution<int>(1, 4)(m_random)));
        send(terminal, text);
        ++m_figures.requests;
        if (!request.journal.isEmpty())
            m_figures.journalled[request.journal] += 1;
        if (request.replyTag.isEmpty()) {
            think(terminal);
            return;
        }
        terminal.expectedTag = request.replyTag;
        terminal.sentAt = Clock::now();
        terminal.state = Terminal::State::Waiting;
    }

    void leave(Terminal& terminal, Leave how) {
        ++m_figures.leaves[int(how)];
        if (how == Leave::OffTheAir) {
            // Off the air, then the network goes once the service has taken the request: the port
            // closes, and only a login brings the driver back. (After an orderly close the port would
            // still listen, and a terminal connecting right after its login could beat the login.)
            send(terminal, "@EXIT@@PZ3@");
            m_figures.journalled[kOffAir] += 1;
            ++m_figures.requests;
            terminal.expectedTag = "<DataClient>";
            terminal.sentAt = Clock::now();
            terminal.state = Terminal::State::Waiting;
            terminal.resetOnReply = true;
            return;
        }
        if (how == Leave::Reset) {
            reset(terminal);
            return;
        }
        send(terminal, "@CLOSE@");
        m_figures.journalled[kLogout] += 1;
        ::shutdown(terminal.fd, SHUT_WR);
        terminal.state = Terminal::State::Closing;
        terminal.closingSince = Clock::now();
    }

    // The network goes: a reset instead of a close. The port stops listening until the next login.
    void reset(Terminal& terminal) {
        const linger abortive{1, 0};
        ::setsockopt(terminal.fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        m_figures.journalled[kNetworkFault] += 1;
        terminal.needsLogin = true;
        drop(terminal);
    }

    void drop(Terminal& terminal) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, terminal.fd, nullptr);
        ::close(terminal.fd);
        terminal.fd = -1;
        terminal.state = Terminal::State::Away;
    }

    void send(Terminal& terminal, const QByteArray& text) {
        ::send(terminal.fd, text.constData(), size_t(text.size()), MSG_NOSIGNAL);
    }

    quint16 m_mainPort;
    std::vector<Terminal> m_terminals;
    std::mt19937 m_random;
    std::vector<Request> m_table;
    std::vector<int> m_weights;
    int m_epoll = -1;
    bool m_leaving = false;
    Figures m_figures;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// The service as its own process, its output in files of the working folder.
pid_t startService(const QString& workdir, const QString& lockFolder) {
    const QByteArray program = QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QStringLiteral("../src/app/taxi-gprs"))
                                   .toLocal8Bit();
    const QByteArray folder = workdir.toLocal8Bit();
    const QByteArray output = (workdir + QStringLiteral("/service.out")).toLocal8Bit();
    const QByteArray errors = (workdir + QStringLiteral("/service.err")).toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::setenv("TMPDIR", lockFolder.toLocal8Bit().constData(), 1);
    const char* arguments[] = {program.constData(), "--headless",       "--start",
                               "--workdir",         folder.constData(), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.constData(), &actions, nullptr,
                                   const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

bool waitForListening(quint16 port, pid_t service) {
    for (int i = 0; i < 600; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port);
        const bool open = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (open)
            return true;
        if (::waitpid(service, nullptr, WNOHANG) == service)
            return false;
        std::this_thread::sleep_for(Ms(100));
    }
    return false;
}

// The exit status of the service once it has ended, -1 for a signal, -2 when it does not end in time.
int waitForExit(pid_t service, Ms timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    int status = 0;
    while (Clock::now() < deadline) {
        if (::waitpid(service, &status, WNOHANG) == service)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(Ms(50));
    }
    return -2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const bool check = arguments.contains(QStringLiteral("--check"));
    int seconds = 600;
    int terminalCount = 300;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--terminals"))
            terminalCount = arguments.value(++i).toInt();
        else if (!arguments[i].startsWith(QLatin1String("--")))
            seconds = arguments[i].toInt();
    }
    const unsigned seed = unsigned(std::random_device{}());
    std::mt19937 random(seed);

    // The city, with a driver, a car and a connection record for every terminal.
    taxi::test::ServiceFolder folder;
    const quint16 firstPort = freePortBlock(terminalCount, random);
    if (firstPort == 0) {
        std::fprintf(stderr, "no block of %d free ports\n", terminalCount);
        return 2;
    }
    std::vector<Terminal> terminals;
    for (int i = 0; i < terminalCount; ++i) {
        Terminal terminal;
        terminal.callsign = kFirstCallsign + i;
        terminal.port = quint16(firstPort + i);
        const QString name = QStringLiteral("Водій %1").arg(terminal.callsign);
        folder.dispatcherExecute({QStringLiteral("INSERT INTO VODII VALUES (?, ?, NULL, NULL)")},
                                 {terminal.callsign, name});
        folder.dispatcherExecute(
            {QStringLiteral(
                "INSERT INTO DANI_AVTO VALUES (?, ?, ?, 'Деу Ланос', 'білий', 'седан', NULL, 4, 400, 0)")},
            {terminal.callsign, terminal.callsign, terminal.callsign});
        folder.addDriver({terminal.callsign, name, terminal.port, QStringLiteral("1111")});
        terminals.push_back(terminal);
    }
    const QString news = QDir(folder.path()).filePath(QStringLiteral("NEWS.TXT"));
    QFile newsFile(news);
    if (newsFile.open(QIODevice::WriteOnly))
        newsFile.write(taxi::toWin1251(QStringLiteral("Нічна зміна.\r\nНа вокзалі ремонт.\r\n")));
    newsFile.close();
    // The service talks to the database server directly: the relay of the tests has nothing to do here.
    folder.writeSettings({{QStringLiteral("SHLYAH_BAZA/SERVER"), QStringLiteral("localhost:")},
                          {QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), QStringLiteral("СТОЯНКА")},
                          {QStringLiteral("GPRS_TAXI/FILE_NEWS"), news},
                          {QStringLiteral("GPRS_TAXI/DOST_OPITUVANNYA"), QStringLiteral("1")},
                          {QStringLiteral("SET_DYI_VODIY/VHID_V_SYSTEM"), QStringLiteral("1")},
                          {QStringLiteral("SET_DYI_VODIY/VIHID_Z_SYSTEM"), QStringLiteral("1")},
                          {QStringLiteral("SET_DYI_VODIY/PIDSADKA"), QStringLiteral("1")}});
    folder.createSettingsDatabase();

    QTemporaryDir lockFolder;
    const pid_t service = startService(folder.path(), lockFolder.path());
    if (service == 0 || !waitForListening(folder.mainPort(), service)) {
        std::fprintf(stderr, "the service did not start; see %s/service.err\n", qPrintable(folder.path()));
        return 2;
    }
    std::printf("soak: %d terminals for %d s against pid %d (seed %u, folder %s)\n", terminalCount, seconds,
                int(service), seed, qPrintable(folder.path()));

    // Warm-up: the first fifth of the run, at least 20 s. After it the peaks of the resident memory in the
    // two halves of the rest are compared: the monitoring log alone saws up and down by megabytes between
    // its saves, and a leak shows as a higher peak in the later half.
    const int warmUp = std::max(20, seconds / 5);
    const int middle = warmUp + (seconds - warmUp) / 2;
    qint64 peakEarlier = 0;
    qint64 peakLater = 0;
    qint64 peakWarmUp = 0;
    int second = 0;
    bool serviceEnded = false;
    Soak soak(folder.mainPort(), std::move(terminals), seed);
    QElapsedTimer running;
    running.start();
    soak.run(Ms(qint64(seconds) * 1000), [&] {
        ++second;
        const qint64 resident = residentKb(service);
        if (resident == 0)
            serviceEnded = true;
        qint64& peak = second <= warmUp ? peakWarmUp : second <= middle ? peakEarlier : peakLater;
        peak = std::max(peak, resident);
        if (second % 30 == 0) {
            const Figures& f = soak.figures();
            std::printf(
                "after %3d s: resident %lld kB, %lld requests, %lld replies, %lld pushes, %lld logins\n",
                second, static_cast<long long>(resident), static_cast<long long>(f.requests),
                static_cast<long long>(f.replies), static_cast<long long>(f.pushes),
                static_cast<long long>(f.logins));
            std::fflush(stdout);
        }
    });
    const double runSeconds = double(running.elapsed()) / 1000;
    const double serviceCpu = cpuSeconds(service);
    soak.leaveAll();
    const Figures& figures = soak.figures();

    // Every terminal has gone: the disconnect handling must clear every mark it set.
    int offerRows = -1;
    int markedCars = -1;
    for (int i = 0; i < 300 && !serviceEnded; ++i) {
        offerRows = folder.offerRows();
        markedCars = folder.markedCars();
        if (offerRows == 0 && markedCars == 0)
            break;
        std::this_thread::sleep_for(Ms(100));
    }
    // The journal of the soak's drivers by action, the stand changes taken together.
    QMap<QString, qint64> journal;
    for (const taxi::db::Row& row :
         folder
             .dispatcherSelect(
                 {QStringLiteral("SELECT DYA_VODIY_GPRS_DYA, COUNT(*) FROM DYA_VODIY_GPRS WHERE "
                                 "DYA_VODIY_GPRS_POZ >= ? GROUP BY DYA_VODIY_GPRS_DYA")},
                 {kFirstCallsign})
             .rows()) {
        const QString action = row.at(0).toText();
        journal[action.startsWith(kStandChange) ? kStandChange : action] += row.at(1).toInt();
    }

    ::kill(service, SIGTERM);
    const int exitStatus = waitForExit(service, Ms(30000));
    if (exitStatus == -2)
        ::kill(service, SIGKILL);
    const QMap<int, QString> activities = exitStatus == 0 ? folder.recordActivities() : QMap<int, QString>{};
    const int active = int(std::count_if(activities.begin(), activities.end(), [](const QString& activity) {
        return activity != QStringLiteral("неактивний");
    }));
    QFile errorFile(folder.path() + QStringLiteral("/service.err"));
    const QByteArray errors = errorFile.open(QIODevice::ReadOnly) ? errorFile.readAll() : QByteArray();
    const qint64 operatorErrors = errors.count("ERROR:");
    QMap<QByteArray, int> errorKinds;
    for (const QByteArray& line : errors.split('\n')) {
        if (line.startsWith("ERROR:"))
            errorKinds[line.left(160)] += 1;
    }

    std::printf(
        "requests: %lld in %.0f s (%.0f per second), %lld replies, %lld pushes, %lld lost, %lld malformed, "
        "%lld connections closed by the service\n",
        static_cast<long long>(figures.requests), runSeconds, double(figures.requests) / runSeconds,
        static_cast<long long>(figures.replies), static_cast<long long>(figures.pushes),
        static_cast<long long>(figures.lostReplies), static_cast<long long>(figures.wrongReplies),
        static_cast<long long>(figures.droppedByService));
    std::printf("latency: median %.1f ms, 95th %.1f ms, 99th %.1f ms, longest %.1f ms\n",
                percentile(figures.latenciesMs, 0.5), percentile(figures.latenciesMs, 0.95),
                percentile(figures.latenciesMs, 0.99), percentile(figures.latenciesMs, 1.0));
    std::printf(
        "terminals: %lld logins, %lld orderly closes, %lld resets, %lld off the air, %lld failed binds\n",
        static_cast<long long>(figures.logins), static_cast<long long>(figures.leaves[0]),
        static_cast<long long>(figures.leaves[1]), static_cast<long long>(figures.leaves[2]),
        static_cast<long long>(figures.failedBinds));
    std::printf("service: %.1f s of processor time over the run (%.0f %% of one core)\n", serviceCpu,
                serviceCpu * 100 / runSeconds);
    for (auto kind = errorKinds.begin(); kind != errorKinds.end(); ++kind)
        std::printf("operator error, %d times: %s\n", kind.value(), kind.key().constData());
    const double growth = peakEarlier > 0 ? double(peakLater - peakEarlier) / double(peakEarlier) : 0;
    std::printf(
        "memory: resident peak %lld kB in the warm-up (%d s), %lld kB up to %d s, %lld kB after: %+.1f %%\n",
        static_cast<long long>(peakWarmUp), warmUp, static_cast<long long>(peakEarlier), middle,
        static_cast<long long>(peakLater), growth * 100);
    std::printf("at the end: %d offer rows, %d marked cars, %d records not \"неактивний\", exit status %d, "
                "%lld operator errors\n",
                offerRows, markedCars, active, exitStatus, static_cast<long long>(operatorErrors));
    bool journalMatches = true;
    QStringList actions = journal.keys() + figures.journalled.keys();
    actions.removeDuplicates();
    actions.sort();
    for (const QString& action : std::as_const(actions)) {
        const bool same = journal.value(action) == figures.journalled.value(action);
        journalMatches = journalMatches && same;
        std::printf("journal %s %6lld sent, %6lld rows: %s\n", same ? "  " : "!!",
                    static_cast<long long>(figures.journalled.value(action)),
                    static_cast<long long>(journal.value(action)), qPrintable(action));
    }

    if (!check)
        return 0;
    QStringList failures;
    if (serviceEnded || exitStatus != 0)
        failures
            << QStringLiteral("the service ended or did not stop cleanly (exit status %1)").arg(exitStatus);
    if (figures.lostReplies > 0 || figures.wrongReplies > 0 || figures.failedBinds > 0 ||
        figures.droppedByService > 0)
        failures << QStringLiteral("replies lost or malformed, or terminals not bound");
    if (growth >= kAllowedGrowth)
        failures << QStringLiteral("the resident memory grew by %1 %").arg(growth * 100, 0, 'f', 1);
    if (offerRows != 0 || markedCars != 0 || active != 0 || activities.isEmpty())
        failures << QStringLiteral("marks, offer rows or active records left behind");
    if (!journalMatches)
        failures << QStringLiteral("the journal does not hold one row per journalled action");
    if (operatorErrors > 0)
        failures << QStringLiteral("the operator was shown errors: see %1/service.err").arg(folder.path());
    for (const QString& failure : std::as_const(failures))
        std::printf("FAILED: %s\n", qPrintable(failure));
    return failures.isEmpty() ? 0 : 1;
}
