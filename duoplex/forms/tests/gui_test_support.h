#pragma once
// The application object of the window tests and the scripted dialogs: file
// answers from a queue, messages recorded, with an optional look at the
// window at the moment one is shown.
#include <QApplication>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "duoplex/forms/dialogs.h"

namespace duoplex::testing {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "duoplex_gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

struct ScriptedDialogs : forms::Dialogs {
    std::deque<std::optional<QString>> open, save;
    std::vector<std::string> messages;
    std::function<void()> onMessage;
    int asked = 0;

    std::optional<QString> OpenFileName(QWidget*) override { return Next(open); }
    std::optional<QString> SaveFileName(QWidget*) override { return Next(save); }
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
