// SPDX-License-Identifier: MIT
#pragma once
// Answers the designer's questions from a script and records what it showed.

#include "user_prompts.h"

#include <deque>
#include <string>
#include <vector>

namespace pixtera::test {

class ScriptedPrompts final : public designer::UserPrompts {
public:
    struct Script {
        std::deque<designer::SaveAnswer> saveAnswers;
        std::deque<std::optional<std::filesystem::path>> files; // for every file dialog, in turn
        std::deque<std::optional<std::string>> texts;
        std::deque<bool> yesNo; // No when the script has no more
        std::vector<std::string> questions; // "caption|text" of every Yes/No question
        int saveQuestions = 0;
        std::filesystem::path addStartedIn; // where the add-to-queue dialog last started
        std::vector<std::string> messages; // "caption|text"
    };

    explicit ScriptedPrompts(Script& script) : script_(script) {}

    designer::SaveAnswer AskToSave() override
    {
        ++script_.saveQuestions;
        return Next(script_.saveAnswers, designer::SaveAnswer::Cancel);
    }
    std::optional<std::filesystem::path> ChooseDesignToOpen() override { return Next(script_.files, {}); }
    std::optional<std::filesystem::path> ChooseDesignToSave() override { return Next(script_.files, {}); }
    std::optional<std::filesystem::path> ChooseDesignToAdd(const std::filesystem::path& startIn) override
    {
        script_.addStartedIn = startIn;
        return Next(script_.files, {});
    }
    std::optional<std::filesystem::path> ChooseBackground() override { return Next(script_.files, {}); }
    std::optional<std::filesystem::path> ChooseMenuToOpen() override { return Next(script_.files, {}); }
    std::optional<std::filesystem::path> ChooseMenuToSave() override { return Next(script_.files, {}); }
    std::optional<std::string> AskText(const std::string&) override { return Next(script_.texts, {}); }
    bool ChooseCustomColours(designer::CustomColours&) override { return false; }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        script_.messages.push_back(caption + "|" + text);
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override
    {
        script_.questions.push_back(caption + "|" + text);
        return Next(script_.yesNo, false);
    }

private:
    template <class T>
    static T Next(std::deque<T>& answers, T fallback)
    {
        if (answers.empty())
            return fallback;
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }

    Script& script_;
};

} // namespace pixtera::test
