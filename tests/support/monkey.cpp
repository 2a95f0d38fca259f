#include "tests/support/monkey.h"

#include <cstdlib>
#include <sstream>

namespace testsupport {

namespace {

unsigned EnvNumber(const std::string& name, unsigned fallback) {
    const char* v = std::getenv(name.c_str());
    return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
}

bool Digits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool IsFileText(const std::string& text) {
    for (const char* t : {"File not found", "File access denied", "Invalid filename", "Too many open files",
                          "Read beyond end of file", "Disk full"})
        if (text == t) return true;
    const std::string io = "I/O error ";
    return text.rfind(io, 0) == 0 && Digits(text.substr(io.size()));
}

bool IsArithmeticText(const std::string& text) {
    return text == "Invalid floating point operation" || text == "Floating point overflow" ||
           text == "Floating point division by zero";
}

bool IsConversionText(const std::string& text) {
    if (text.empty() || text[0] != '\'') return false;
    for (const char* tail : {"' is not a valid floating point value", "' is not a valid integer value"})
        if (EndsWith(text, tail) && text.size() >= 1 + std::string(tail).size()) return true;
    return false;
}

MonkeyRun::MonkeyRun(const std::string& prefix, unsigned seed, int actions, std::size_t remembered)
    : prefix_(prefix),
      seed_(EnvNumber(prefix + "_MONKEY_SEED", seed)),
      target_(static_cast<int>(EnvNumber(prefix + "_MONKEY_ACTIONS", static_cast<unsigned>(actions)))),
      remembered_(remembered),
      rng_(seed_) {}

void MonkeyRun::Remember(std::string line) {
    recent_.push_back(std::move(line));
    if (recent_.size() > remembered_) recent_.pop_front();
}

void MonkeyRun::Note(const std::string& where, const std::string& action) {
    Remember(std::to_string(done_) + " " + where + ": " + action);
}

void MonkeyRun::Shown(const std::string& text, bool known) {
    Remember("    box '" + text + "'");
    Require(known, "not one of the system's texts: '" + text + "'");
}

void MonkeyRun::Require(bool ok, const std::string& what, const std::string& context) {
    if (!ok && failure_.empty()) failure_ = what + "\n" + Log(context);
}

std::string MonkeyRun::Log(const std::string& context) const {
    std::ostringstream out;
    out << "seed " << seed_ << " (repeat with " << prefix_ << "_MONKEY_SEED=" << seed_ << "), action " << done_
        << context << "; the last actions:";
    for (const std::string& a : recent_) out << "\n  " << a;
    return out.str();
}

}  // namespace testsupport
