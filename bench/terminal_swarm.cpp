#include "bench/terminal_swarm.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace taxi::bench {

namespace {

using namespace std::chrono_literals;

// Terminals logging in and binding at one time: the service does one login after the other anyway, and a
// crowd on the main port would only wait there.
constexpr int kBindingAtOnce = 32;
constexpr int kLoginsPerTerminal = 3;
// A login the service has not answered by opening the port in this time is tried again.
constexpr Clock::duration kStepLimit = 30s;
constexpr Clock::duration kPortRetry = 10ms;
constexpr Clock::duration kAnswerLimit = 30s;
constexpr std::uint64_t kWakeKey = ~std::uint64_t(0);
const QByteArray kGreeting = "@MENUMAIN@@PZ7@";
const QByteArray kSnapshotEnd = "</DataClient>@";
const QByteArray kOfferNotice = "<Action>RefleshDataZam</Action>@";
const QByteArray kNotice = "<Action>";

std::uint64_t keyOf(int index, bool login) {
    return std::uint64_t(index) * 2 + (login ? 1 : 0);
}

sockaddr_in loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A non-blocking connect; the socket, or -1 when it was refused at once.
int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1; // out of descriptors: the terminal tries again and is counted as failed in the end
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EINPROGRESS)
        return fd;
    ::close(fd);
    return -1;
}

bool connectFailed(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0;
}

bool sendAll(int fd, const QByteArray& bytes) {
    return ::send(fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

} // namespace

enum class TerminalSwarm::Stage { Idle, LoggingIn, WaitingForPort, Connecting, Greeting, Bound, Failed };

struct TerminalSwarm::Terminal {
    quint16 port = 0;
    QByteArray login;
    int loginFd = -1;
    int fd = -1;
    Stage stage = Stage::Idle;
    int logins = 0;
    Clock::time_point retryAt;
    Clock::time_point giveUpAt;
    QByteArray partial; // the start of an answer whose end has not come yet
    bool looping = false;
    bool awaiting = false;
    int nextRequest = 0;
    Clock::time_point sentAt;
    std::atomic<Clock::rep> lastOffer{0};
};

TerminalSwarm::TerminalSwarm(quint16 mainPort, const QList<TerminalLogin>& logins)
    : m_mainPort(mainPort), m_terminals(new Terminal[std::size_t(logins.size())]),
      m_count(int(logins.size())) {
    for (int i = 0; i < m_count; ++i) {
        m_terminals[std::size_t(i)].port = logins.at(i).port;
        m_terminals[std::size_t(i)].login =
            "@OC(" + QByteArray::number(logins.at(i).port) + ")[" + logins.at(i).password + "]@";
    }
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wake < 0)
        throw std::runtime_error("no epoll for the terminals");
    watch(m_wake, kWakeKey, EPOLLIN);
    m_thread = std::thread([this] { run(); });
}

TerminalSwarm::~TerminalSwarm() {
    m_stop = true;
    post([] {});
    m_thread.join();
    for (int i = 0; i < m_count; ++i)
        closeSockets(m_terminals[std::size_t(i)]);
    ::close(m_wake);
    ::close(m_epoll);
}

void TerminalSwarm::watch(int fd, std::uint64_t key, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event) != 0)
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
}

void TerminalSwarm::post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    (void)!::write(m_wake, &one, sizeof one);
}

void TerminalSwarm::runPosted() {
    std::uint64_t count = 0;
    (void)!::read(m_wake, &count, sizeof count);
    std::vector<std::function<void()>> tasks;
    {
        const std::lock_guard lock(m_postedMutex);
        tasks.swap(m_posted);
    }
    for (const auto& task : tasks)
        task();
}

void TerminalSwarm::run() {
    epoll_event events[256];
    Clock::time_point lastSweep;
    while (!m_stop.load()) {
        const int ready = ::epoll_wait(m_epoll, events, 256, 2);
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.u64 == kWakeKey)
                runPosted();
            else
                onEvent(events[i].data.u64, events[i].events);
        }
        const Clock::time_point now = Clock::now();
        if (now - lastSweep >= 2ms) {
            sweep(now);
            lastSweep = now;
        }
    }
}

void TerminalSwarm::bind(int count) {
    post([this, count] { m_toBind = std::min(count, m_count); });
}

void TerminalSwarm::loop(int count, const QList<QByteArray>& cycle, Clock::duration warmUp,
                         Clock::duration measured) {
    m_loopDone = false;
    post([this, count, cycle, warmUp, measured] {
        const Clock::time_point now = Clock::now();
        m_cycle = cycle;
        m_measureFrom = now + warmUp;
        m_measureUntil = m_measureFrom + measured;
        m_figures = {};
        m_figures.seconds = std::chrono::duration<double>(measured).count();
        m_figures.latenciesUs.reserve(1 << 20);
        m_loopRunning = true;
        for (int i = 0; i < std::min(count, m_count); ++i) {
            Terminal& terminal = m_terminals[std::size_t(i)];
            if (terminal.stage != Stage::Bound)
                continue;
            terminal.looping = true;
            terminal.nextRequest = 0;
            ++m_looping;
            sendNext(terminal, now);
        }
        if (m_looping == 0) {
            m_loopRunning = false;
            m_loopDone = true;
        }
    });
}

LoopFigures TerminalSwarm::takeLoopFigures() {
    return std::move(m_figures);
}

void TerminalSwarm::answerOffers(const QByteArray& requests) {
    post([this, requests] { m_offerAnswer = requests; });
}

Clock::time_point TerminalSwarm::lastOffer(int i) const {
    return Clock::time_point(Clock::duration(m_terminals[std::size_t(i)].lastOffer.load()));
}

void TerminalSwarm::sweep(Clock::time_point now) {
    while (m_binding < kBindingAtOnce && m_nextToBind < m_toBind) {
        Terminal& terminal = m_terminals[std::size_t(m_nextToBind++)];
        ++m_binding;
        startLogin(terminal, now);
    }
    for (int i = 0; i < m_count; ++i) {
        Terminal& terminal = m_terminals[std::size_t(i)];
        switch (terminal.stage) {
        case Stage::LoggingIn:
        case Stage::Connecting:
        case Stage::Greeting:
            if (now >= terminal.giveUpAt)
                retry(terminal, now);
            break;
        case Stage::WaitingForPort:
            if (now >= terminal.giveUpAt)
                retry(terminal, now);
            else if (now >= terminal.retryAt)
                connectToOwnPort(terminal);
            break;
        case Stage::Bound:
            if (terminal.awaiting && now - terminal.sentAt > kAnswerLimit) {
                ++m_figures.timeouts;
                terminal.awaiting = false;
                sendNext(terminal, now);
            }
            break;
        case Stage::Idle:
        case Stage::Failed:
            break;
        }
    }
}

void TerminalSwarm::startLogin(Terminal& terminal, Clock::time_point now) {
    closeSockets(terminal);
    ++terminal.logins;
    terminal.giveUpAt = now + kStepLimit;
    terminal.loginFd = connectTo(m_mainPort);
    if (terminal.loginFd < 0) {
        retry(terminal, now);
        return;
    }
    terminal.stage = Stage::LoggingIn;
    watch(terminal.loginFd, keyOf(int(&terminal - m_terminals.get()), true), EPOLLOUT);
}

void TerminalSwarm::connectToOwnPort(Terminal& terminal) {
    terminal.fd = connectTo(terminal.port);
    if (terminal.fd < 0) { // nobody listens yet: the login is still on its way
        terminal.retryAt = Clock::now() + kPortRetry;
        return;
    }
    terminal.stage = Stage::Connecting;
    watch(terminal.fd, keyOf(int(&terminal - m_terminals.get()), false), EPOLLOUT);
}

void TerminalSwarm::retry(Terminal& terminal, Clock::time_point now) {
    closeSockets(terminal);
    if (terminal.logins < kLoginsPerTerminal) {
        startLogin(terminal, now);
        return;
    }
    terminal.stage = Stage::Failed;
    --m_binding;
    ++m_failed;
}

void TerminalSwarm::closeSockets(Terminal& terminal) {
    for (int* fd : {&terminal.loginFd, &terminal.fd}) {
        if (*fd >= 0) {
            ::close(*fd); // closing also takes it out of the epoll set
            *fd = -1;
        }
    }
    terminal.partial.clear();
}

void TerminalSwarm::onEvent(std::uint64_t key, std::uint32_t events) {
    Terminal& terminal = m_terminals[std::size_t(key / 2)];
    const Clock::time_point now = Clock::now();
    if (key % 2 == 1) { // the login connection can take the login
        if (terminal.stage != Stage::LoggingIn)
            return;
        const bool sent = !connectFailed(terminal.loginFd) && sendAll(terminal.loginFd, terminal.login);
        ::close(terminal.loginFd); // a terminal hangs up once it has sent its login
        terminal.loginFd = -1;
        if (!sent) {
            retry(terminal, now);
            return;
        }
        terminal.stage = Stage::WaitingForPort;
        terminal.retryAt = now + kPortRetry;
        return;
    }
    if (terminal.stage == Stage::Connecting) {
        if (connectFailed(terminal.fd)) {
            ::close(terminal.fd);
            terminal.fd = -1;
            terminal.stage = Stage::WaitingForPort;
            terminal.retryAt = now + kPortRetry;
            return;
        }
        connectionReady(terminal);
        return;
    }
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR))
        readAnswers(terminal);
}

void TerminalSwarm::connectionReady(Terminal& terminal) {
    watch(terminal.fd, keyOf(int(&terminal - m_terminals.get()), false), EPOLLIN);
    terminal.stage = Stage::Greeting;
    if (!sendAll(terminal.fd, kGreeting))
        retry(terminal, Clock::now());
}

void TerminalSwarm::readAnswers(Terminal& terminal) {
    static thread_local char buffer[65536];
    for (;;) {
        const ssize_t received = ::recv(terminal.fd, buffer, sizeof buffer, 0);
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        const Clock::time_point now = Clock::now();
        if (received <= 0) { // the service closed the connection
            if (terminal.stage == Stage::Bound) {
                terminal.stage = Stage::Failed;
                --m_bound;
                ++m_failed;
                closeSockets(terminal);
                stopLooping(terminal);
            } else {
                retry(terminal, now);
            }
            return;
        }
        QByteArrayView chunk(buffer, received);
        while (!chunk.isEmpty()) {
            const qsizetype end = chunk.indexOf('@');
            if (end < 0) {
                terminal.partial.append(chunk);
                break;
            }
            if (terminal.partial.isEmpty()) {
                onFrame(terminal, chunk.first(end + 1), now);
            } else {
                terminal.partial.append(chunk.first(end + 1));
                const QByteArray frame = std::exchange(terminal.partial, QByteArray());
                onFrame(terminal, frame, now);
            }
            chunk = chunk.sliced(end + 1);
        }
    }
}

void TerminalSwarm::onFrame(Terminal& terminal, QByteArrayView frame, Clock::time_point now) {
    if (frame.startsWith(kNotice)) {
        if (frame != kOfferNotice)
            return;
        terminal.lastOffer = now.time_since_epoch().count();
        if (terminal.stage == Stage::Bound && !terminal.looping && !m_offerAnswer.isEmpty())
            sendAll(terminal.fd, m_offerAnswer);
        return;
    }
    if (terminal.stage == Stage::Greeting) {
        if (frame.endsWith(kSnapshotEnd)) {
            terminal.stage = Stage::Bound;
            --m_binding;
            ++m_bound;
        }
        return;
    }
    if (!terminal.awaiting)
        return;
    terminal.awaiting = false;
    if (now >= m_measureFrom && now < m_measureUntil) {
        ++m_figures.answered;
        m_figures.latenciesUs.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(now - terminal.sentAt).count());
    }
    sendNext(terminal, now);
}

void TerminalSwarm::sendNext(Terminal& terminal, Clock::time_point now) {
    if (!terminal.looping)
        return;
    if (now >= m_measureUntil) {
        stopLooping(terminal);
        return;
    }
    const QByteArray& request = m_cycle.at(terminal.nextRequest);
    terminal.nextRequest = (terminal.nextRequest + 1) % int(m_cycle.size());
    terminal.awaiting = true;
    terminal.sentAt = now;
    if (!sendAll(terminal.fd, request))
        terminal.awaiting = false; // the closing of the connection follows and ends this terminal's loop
}

void TerminalSwarm::stopLooping(Terminal& terminal) {
    if (!terminal.looping)
        return;
    terminal.looping = false;
    if (--m_looping == 0 && m_loopRunning) {
        m_loopRunning = false;
        m_loopDone = true;
    }
}

} // namespace taxi::bench
