#pragma once
#include <optional>
#include <string>
#include <utility>

namespace veska::main {

/// The files the window asks the operator for (a save dialog each).
enum class FileQuestion {
    DataFile,    ///< the measurement data (text, one value a line)
    CsvFile,     ///< the samples as CSV ("*.csv")
    ChartImage,  ///< a chart image (".png" by default; ".bmp", ".jpg")
};

/// The questions that wait for the operator: each blocks the logic until it is answered.
/// Message boxes and the parameter file dialogs are params::ParamView's.
class WindowQuestions {
  public:
    virtual ~WindowQuestions() = default;
    /// The chosen path; nullopt when the operator cancels.
    virtual std::optional<std::string> AskFile(FileQuestion question) = 0;
    /// The range dialog with two percentages; returns them when it closes.
    virtual std::pair<int, int> ShowRangeDialog(int beginPercent, int endPercent) = 0;
    virtual void ShowAboutBox() = 0;
};

}  // namespace veska::main
