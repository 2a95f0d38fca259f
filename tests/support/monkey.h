#pragma once
// The program-neutral part of a monkey test: the seeded random picks, the
// count of actions against their target, the log of the last actions and
// the first failure with the way to repeat it, and the check that a text
// shown to the user is one of the system's failure texts.
//
// <PREFIX>_MONKEY_SEED chooses the sequence and <PREFIX>_MONKEY_ACTIONS its
// length; a failure names the seed and the variable.
#include <cstddef>
#include <deque>
#include <random>
#include <string>

namespace testsupport {

// The system's texts for file failures ("File not found", ..., "I/O error
// <n>") and for arithmetic faults.
bool IsFileText(const std::string& text);
bool IsArithmeticText(const std::string& text);
// "'<text>' is not a valid floating point value" or "... integer value",
// for some text.
bool IsConversionText(const std::string& text);

class MonkeyRun {
public:
    // `prefix` names the variables (DUOPLEX gives DUOPLEX_MONKEY_SEED);
    // `seed` and `actions` are used when they are not set.
    MonkeyRun(const std::string& prefix, unsigned seed, int actions, std::size_t remembered = 30);

    unsigned Seed() const { return seed_; }
    int Target() const { return target_; }
    int Done() const { return done_; }
    // Counts the next action.
    void Count() { ++done_; }
    // The target is reached or a requirement failed.
    bool Over() const { return done_ >= target_ || !failure_.empty(); }

    unsigned Pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }
    bool Chance(unsigned percent) { return Pick(100) < percent; }
    template <class T, std::size_t N>
    const T& OneOf(const T (&items)[N]) {
        return items[Pick(N)];
    }
    std::mt19937& Random() { return rng_; }

    // Logs an action: "<count> <where>: <action>".
    void Note(const std::string& where, const std::string& action);
    // Logs a text shown to the user, which must be `known`.
    void Shown(const std::string& text, bool known);
    const std::deque<std::string>& Recent() const { return recent_; }

    // The first requirement that does not hold is the run's failure, with
    // the log and `context` (such as the active window).
    void Require(bool ok, const std::string& what, const std::string& context = "");
    const std::string& Failure() const { return failure_; }

    // "seed S (repeat with P_MONKEY_SEED=S), action N<context>; the last
    // actions:" and the log.
    std::string Log(const std::string& context = "") const;

private:
    void Remember(std::string line);

    std::string prefix_;
    unsigned seed_;
    int target_;
    int done_ = 0;
    std::size_t remembered_;
    std::mt19937 rng_;
    std::deque<std::string> recent_;
    std::string failure_;
};

}  // namespace testsupport
