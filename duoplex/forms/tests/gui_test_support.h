#pragma once
// The application object of the window tests and the scripted dialogs: file
// answers from a queue, messages recorded, with an optional look at the
// window at the moment one is shown.
#include <QApplication>
#include <QString>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/qt/dialogs.h"

namespace duoplex::testing {

// The application, and the window's runs folder in a temporary folder of
// its own: no test writes into the real home.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "duoplex_gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        state_ = std::filesystem::temp_directory_path() / ("duoplex-gui-state-" + std::to_string(::getpid()));
        std::filesystem::create_directories(state_);
        ::setenv("XDG_STATE_HOME", state_.c_str(), 1);
    }
    void TearDown() override {
        delete app_;
        std::error_code ec;
        std::filesystem::remove_all(state_, ec);
    }

private:
    QApplication* app_ = nullptr;
    std::filesystem::path state_;
};

struct ScriptedDialogs : common::qt::Dialogs {
    std::deque<std::optional<QString>> open, save;
    std::deque<bool> confirm;  // answers to questions; No when empty
    std::vector<std::string> messages, questions;
    std::function<void()> onMessage;
    int asked = 0;
    int defaultNo = 0;  // questions asked with No as the default

    std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override { return Next(open); }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override { return Next(save); }
    void Information(QWidget* parent, const QString& text) override { Failure(parent, text); }
    bool Confirm(QWidget*, const QString& text) override {
        questions.push_back(text.toStdString());
        bool yes = !confirm.empty() && confirm.front();
        if (!confirm.empty()) confirm.pop_front();
        return yes;
    }
    bool ConfirmDefaultNo(QWidget* parent, const QString& text) override {
        ++defaultNo;
        return Confirm(parent, text);
    }
    void Failure(QWidget*, const QString& text) override {
        messages.push_back(text.toStdString());
        if (onMessage) onMessage();
    }
    std::optional<QString> Next(std::deque<std::optional<QString>>& q) {
        ++asked;
        std::optional<QString> answer;
        if (!q.empty()) {
            answer.swap(q.front());
            q.pop_front();
        }
        return answer;
    }
};

}  // namespace duoplex::testing
