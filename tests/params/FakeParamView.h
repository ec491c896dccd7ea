#pragma once
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "params/ParamView.h"

namespace veska::params::test {

/// A ParamView that records what was shown and answers as a person would: message boxes
/// take the queued answers (OK when none is queued), the file dialogs the preset answers.
class FakeParamView final : public ParamView {
  public:
    struct Box {
        std::string text;
        std::string caption;
        int flags = 0;
    };

    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        boxes.push_back({text, caption, flags});
        if (answers.empty()) return kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void Beep() override { ++beeps; }
    void SetParamProgress(int maximum, int position) override {
        progress.emplace_back(maximum, position);
    }
    void RefreshGrid() override { ++refreshes; }
    void SelectBaudItem(int index) override { baudItems.push_back(index); }
    void SelectAddressItem(int index) override { addressItems.push_back(index); }
    void SetIdentityLabel(IdentityLabel label, const std::string& text) override {
        labels[label] = text;
    }
    std::string IdentityLabelText(IdentityLabel label) const override {
        const auto it = labels.find(label);
        return it == labels.end() ? std::string() : it->second;
    }
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override {
        savePresets.push_back(presetName);
        return saveAnswer;
    }
    std::optional<std::string> AskOpenParamFile() override {
        ++openDialogs;
        return openAnswer;
    }

    std::vector<Box> boxes;
    std::deque<int> answers;
    std::vector<std::string> errors;
    int beeps = 0;
    std::vector<std::pair<int, int>> progress;  ///< (maximum, position)
    int refreshes = 0;
    std::vector<int> baudItems;
    std::vector<int> addressItems;
    std::map<IdentityLabel, std::string> labels;
    std::vector<std::string> savePresets;
    std::optional<std::string> saveAnswer;
    int openDialogs = 0;
    std::optional<std::string> openAnswer;
};

}  // namespace veska::params::test
