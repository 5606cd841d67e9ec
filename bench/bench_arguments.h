#pragma once

#include <QStringList>
#include <functional>

namespace taxi::bench {

// The command line of a benchmark: switches ("--check", "--smoke"), options with a value ("--seconds 5")
// and the numbers without a name, in order.
class BenchArguments {
public:
    explicit BenchArguments(const QStringList& arguments);

    bool has(const QString& name) const { return m_switches.contains(name); }
    // A short run that only shows the benchmark still works, as CI makes it.
    bool smoke() const { return has(QStringLiteral("--smoke")); }
    // Whether a missed target fails the run.
    bool check() const { return has(QStringLiteral("--check")); }
    // The option's value as a number, or the default when not given.
    int number(const QString& name, int byDefault) const;
    // The option's value as a list of numbers joined by commas ("50,200,1000").
    QList<int> numbers(const QString& name, const QList<int>& byDefault) const;

private:
    QStringList m_switches;
    QStringList m_options; // name, value, name, value, ...
};

// The frame of a benchmark program: the application object, the limit of open files raised for a thousand
// terminals, the command line read. A run that could not be made is reported under the program's name and
// exits 2; otherwise the run's own exit status is returned.
int benchMain(int argc, char* argv[], const char* name, const std::function<int(const BenchArguments&)>& run);

} // namespace taxi::bench
