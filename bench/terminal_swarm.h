#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace taxi::bench {

using Clock = std::chrono::steady_clock;

// The login of one terminal: its own port and its password.
struct TerminalLogin {
    quint16 port = 0;
    QByteArray password;
};

// What a request loop measured: the answers that came in the measured time and how long each took.
struct LoopFigures {
    qint64 answered = 0;
    double seconds = 0;
    std::vector<qint64> latenciesUs;
    qint64 timeouts = 0;
};

// A thousand drivers' phones on one thread: real TCP connections on the loopback address that log in on
// the main port, bind to their own ports and send requests, all driven by one epoll loop, so that they fit
// on a small machine beside the service and its database server.
//
// The swarm works on its own thread; the calls below hand it a task and return at once, and the caller
// keeps its own event loop running (the service's) until the swarm says the task is done.
class TerminalSwarm {
public:
    TerminalSwarm(quint16 mainPort, const QList<TerminalLogin>& logins);
    ~TerminalSwarm();
    TerminalSwarm(const TerminalSwarm&) = delete;
    TerminalSwarm& operator=(const TerminalSwarm&) = delete;

    // Logs in and binds the first `count` terminals: each logs in, connects to its own port, reports the
    // main menu and asks for its status snapshot; it is bound once the snapshot came back.
    void bind(int count);
    int bound() const { return m_bound.load(); }
    // Terminals that could not be bound after several logins.
    int failed() const { return m_failed.load(); }

    // The first `count` terminals send the requests of the cycle one after another, each waiting for the
    // answer to the last, for the warm-up and then for the measured time.
    void loop(int count, const QList<QByteArray>& cycle, Clock::duration warmUp, Clock::duration measured);
    bool loopDone() const { return m_loopDone.load(); }
    // The figures of the last loop, once it is done.
    LoopFigures takeLoopFigures();

    // When terminal i last received the offer notice "<Action>RefleshDataZam</Action>@"; the epoch when
    // never.
    Clock::time_point lastOffer(int i) const;
    // What a bound terminal that is not in a request loop sends when an offer notice arrives (nothing
    // unless told), e.g. "@PZ7@@PRZ@": it reads the offered order and accepts it, as a driver does.
    void answerOffers(const QByteArray& requests);

private:
    struct Terminal;
    enum class Stage;

    void run();
    void post(std::function<void()> task);
    void runPosted();
    void onEvent(std::uint64_t key, std::uint32_t events);
    void sweep(Clock::time_point now);
    void startLogin(Terminal& terminal, Clock::time_point now);
    void connectToOwnPort(Terminal& terminal);
    void connectionReady(Terminal& terminal);
    void readAnswers(Terminal& terminal);
    void onFrame(Terminal& terminal, QByteArrayView frame, Clock::time_point now);
    void sendNext(Terminal& terminal, Clock::time_point now);
    void stopLooping(Terminal& terminal);
    void retry(Terminal& terminal, Clock::time_point now);
    void closeSockets(Terminal& terminal);
    void watch(int fd, std::uint64_t key, std::uint32_t events);

    const quint16 m_mainPort;
    std::unique_ptr<Terminal[]> m_terminals;
    const int m_count;
    int m_epoll = -1;
    int m_wake = -1; // an eventfd that wakes the loop for posted tasks
    std::atomic<bool> m_stop{false};
    std::mutex m_postedMutex;
    std::vector<std::function<void()>> m_posted;

    // Binding (swarm thread only, but for the counters)
    int m_toBind = 0;
    int m_nextToBind = 0;
    int m_binding = 0;
    std::atomic<int> m_bound{0};
    std::atomic<int> m_failed{0};

    QByteArray m_offerAnswer;

    // The request loop (swarm thread only, but for the flag)
    QList<QByteArray> m_cycle;
    int m_looping = 0;
    bool m_loopRunning = false;
    Clock::time_point m_measureFrom;
    Clock::time_point m_measureUntil;
    LoopFigures m_figures;
    std::atomic<bool> m_loopDone{true};

    std::thread m_thread;
};

} // namespace taxi::bench
