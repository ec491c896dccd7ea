#pragma once
#include <QString>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace veska::ui {

/// Which file the window asks for.
enum class FileKind {
    ParamSave,  ///< SaveDialogParam: ".prm" by default, no overwrite question of its own
    ParamOpen,  ///< OpenDialogParam
    DataSave,   ///< SaveDialogData: no filter, no default extension, the name as chosen
    CsvSave,    ///< the CSV file: "*.csv", ".csv" by default
    ImageSave,  ///< a chart image: ".png" by default, ".bmp" and ".jpg" too
};

/// File open and save dialogs; tests swap in ScriptedFileDialogs.
class FileDialogAdapter {
  public:
    virtual ~FileDialogAdapter() = default;
    /// The chosen path, nullopt when the operator cancels. preset: proposed file name.
    virtual std::optional<std::string> Ask(FileKind kind, const std::string& preset) = 0;
};

class QtFileDialogs final : public FileDialogAdapter {
  public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<std::string> Ask(FileKind kind, const std::string& preset) override;

    /// The folder each dialog opens in; a chosen file's folder replaces it.
    std::map<FileKind, QString> folders;

  private:
    QWidget* parent_;
};

/// Answers from a script (nullopt = cancel), records every question. With no answer left
/// it cancels.
class ScriptedFileDialogs final : public FileDialogAdapter {
  public:
    struct Asked {
        FileKind kind;
        std::string preset;
    };
    std::optional<std::string> Ask(FileKind kind, const std::string& preset) override;

    std::deque<std::optional<std::string>> answers;
    std::vector<Asked> asked;
};

}  // namespace veska::ui
