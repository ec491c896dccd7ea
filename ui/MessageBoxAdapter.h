#pragma once
#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace veska::ui {

/// Modal message boxes with the program's flag values (0 plain OK, 16 stop icon OK,
/// 48 exclamation OK, 49 exclamation OK/Cancel) and its answers (1 OK, 2 Cancel). Texts are
/// plain text, never markup. The window holds one of these; tests swap in ScriptedMessageBoxes
/// so that nothing ever waits for a person.
class MessageBoxAdapter {
  public:
    virtual ~MessageBoxAdapter() = default;
    /// Shows text with caption; returns 1 (OK) or 2 (Cancel).
    virtual int MessageBox(const std::string& text, const std::string& caption, int flags) = 0;
    /// The general error display: a stop-icon box with the application's title.
    virtual void ShowError(const std::string& text) = 0;
};

/// Real boxes on the screen, owned by parent (may be null).
class QtMessageBoxes final : public MessageBoxAdapter {
  public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override;

  private:
    QWidget* parent_;
};

/// Answers from a script, records every box. With no scripted answer left it answers OK.
class ScriptedMessageBoxes final : public MessageBoxAdapter {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        int flags = 0;
    };

    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override { errors.push_back(text); }

    std::deque<int> answers;          ///< next answers, front first
    std::vector<Shown> shown;         ///< every box, in order
    std::vector<std::string> errors;  ///< every general error text, in order
};

}  // namespace veska::ui
